// A small filesystem for tests that fill a disk: a tmpfs of a given size
// mounted on a directory for the object's lifetime. Mounting needs root.
#pragma once

#include <filesystem>
#include <string>

namespace indicizza::testing {

class SmallDisk {
 public:
  // Mounts a tmpfs of `kilobytes` on `mountPoint` (created when missing).
  // When that fails, mounted() is false and failure() says why.
  SmallDisk(const std::filesystem::path& mountPoint, int kilobytes);
  // Unmounts the tmpfs (lazily if something still holds it); its files are
  // gone after that.
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& failure() const { return failure_; }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
  std::string failure_;
};

}  // namespace indicizza::testing
