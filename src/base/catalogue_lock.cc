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

Status CatalogueLock::tryLock(const std::filesystem::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  int result;
  while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {}
  if (result != 0) {
    const Status status =
        errno == EWOULDBLOCK ? Status::systemFailure(Status::Code::kBusy, errno) : Status();
    close(fd);
    return status;
  }
  fd_ = fd;
  return {};
}

CatalogueLock lockCatalogue(const std::filesystem::path& folder) {
  CatalogueLock lock;
  if (!lock.tryLock(folder).ok()) fatalStop(kCatalogueBusyMessage);
  return lock;
}

}  // namespace indicizza
