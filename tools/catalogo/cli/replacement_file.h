// A file written in full under a temporary name and then put in place of its
// target in one rename, so the target is either left as it was or holds the
// whole new content.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace indicizza::catalogo {

// Owns the temporary file (TARGET.XXXXXX, made in the target's folder so the
// rename stays within one file system). Destroying it before commit()
// removes the temporary file and leaves the target untouched. Not copyable.
class ReplacementFile {
 public:
  // Creates the temporary file. Throws ToolFailure when it can't.
  explicit ReplacementFile(const std::filesystem::path& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Appends `bytes`. Throws ToolFailure on a write error.
  void write(std::string_view bytes);

  // Flushes and syncs the content, gives the file the usual mode of a new
  // file (0666 less the umask) and renames it to the target. Throws
  // ToolFailure on any failure (the temporary file is then removed).
  void commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace indicizza::catalogo
