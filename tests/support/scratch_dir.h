// A fresh, empty directory for one test, removed with everything in it when
// the object is destroyed; plus whole-file helpers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace indicizza::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Makes `folder` the process's working folder while it lives, and the one
// before again when it goes (the programs' files are found there).
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path before_;
};

void writeFile(const std::filesystem::path& path, std::string_view content);
std::string readFile(const std::filesystem::path& path);

}  // namespace indicizza::testing
