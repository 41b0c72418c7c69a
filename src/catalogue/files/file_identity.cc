#include "catalogue/files/file_identity.h"

#include <sys/stat.h>

namespace indicizza {

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{
      static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
      static_cast<std::int64_t>(status.st_size), static_cast<std::int64_t>(status.st_mtim.tv_sec),
      static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
}

}  // namespace indicizza
