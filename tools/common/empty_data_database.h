// Making the first, empty data database of a catalogue folder.
#pragma once

#include <filesystem>
#include <string>

namespace indicizza::tools {

// Creates an empty B-tree at `path` with mode 0664 (less the umask). Never
// touches an existing file: the library is asked to create the file
// exclusively. Returns an empty string on success, otherwise the reason (the
// library's text for its result).
std::string createEmptyDataDatabase(const std::filesystem::path& path);

}  // namespace indicizza::tools
