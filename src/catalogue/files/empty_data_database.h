// Making the first, empty data database of a catalogue folder.
#pragma once

#include <filesystem>

#include "base/status.h"

namespace indicizza {

// Creates an empty B-tree at `path` with mode 0664 (less the umask): whole,
// under a private name beside it (see ShadowFile::toWriteBeside), then given
// its name only if no file has it by then, so an existing file is never
// touched and a process killed on the way leaves no `path` at all. Fails
// with kWriteFailed when the file can't be made or `path` exists by the
// end, or as the library's open (kNoHandle, kCannotOpen) or close
// (kWriteFailed) does.
Status createEmptyDataDatabase(const std::filesystem::path& path);

}  // namespace indicizza
