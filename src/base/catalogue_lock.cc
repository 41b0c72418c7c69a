#include "base/catalogue_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/console.h"

namespace indicizza {

CatalogueLock::~CatalogueLock() {
  if (fd_ >= 0) close(fd_);
}

CatalogueLock::CatalogueLock(CatalogueLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

bool CatalogueLock::tryLock(const std::filesystem::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  int result;
  while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return !busy;
  }
  fd_ = fd;
  return true;
}

CatalogueLock lockCatalogue(const std::filesystem::path& folder) {
  CatalogueLock lock;
  if (!lock.tryLock(folder)) fatalStop(kCatalogueBusyMessage);
  return lock;
}

}  // namespace indicizza
