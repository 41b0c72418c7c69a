// Making the first, empty data database of a catalogue folder.
#pragma once

#include <filesystem>

#include "base/status.h"

namespace indicizza {

// Creates an empty B-tree at `path` with mode 0664 (less the umask). Never
// touches an existing file: the library is asked to create the file
// exclusively. Fails as the library's open (kNoHandle, kCannotOpen) or
// close (kWriteFailed) does.
Status createEmptyDataDatabase(const std::filesystem::path& path);

}  // namespace indicizza
