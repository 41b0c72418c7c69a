#include "support/small_disk.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace indicizza::testing {

SmallDisk::SmallDisk(const std::filesystem::path& mountPoint, int kilobytes) : path_(mountPoint) {
  if (geteuid() != 0) {
    failure_ = "mounting a tmpfs needs root";
    return;
  }
  std::filesystem::create_directories(path_);
  const std::string options = "size=" + std::to_string(kilobytes) + "k";
  if (mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    failure_ = "mount -t tmpfs -o " + options + " failed: " + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

SmallDisk::~SmallDisk() {
  if (mounted_ && umount2(path_.c_str(), 0) != 0) umount2(path_.c_str(), MNT_DETACH);
}

}  // namespace indicizza::testing
