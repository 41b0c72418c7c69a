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

void writeFile(const std::filesystem::path& path, std::string_view content);
std::string readFile(const std::filesystem::path& path);

}  // namespace indicizza::testing
