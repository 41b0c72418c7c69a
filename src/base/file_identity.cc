#include "base/file_identity.h"

#include <sys/stat.h>

namespace indicizza {

FileIdentity identityOfStatus(const struct stat& status) {
  return FileIdentity{
      static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
      static_cast<std::int64_t>(status.st_size), static_cast<std::int64_t>(status.st_mtim.tv_sec),
      static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
}

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return identityOfStatus(status);
}

std::optional<FileIdentity> identityOfEntry(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return identityOfStatus(status);
}

std::optional<FileIdentity> identityOfOpenFile(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return identityOfStatus(status);
}

}  // namespace indicizza
