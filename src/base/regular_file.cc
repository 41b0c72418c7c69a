#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace indicizza {

Status openRegularFile(const char* path, int flags, int& fd, mode_t mode) {
  fd = -1;
  // O_NONBLOCK: a named pipe opens at once instead of waiting for a writer
  // (or a reader); O_NOCTTY: a terminal never becomes ours.
  const int opened = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
  if (opened < 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  struct stat info;
  if (::fstat(opened, &info) != 0) {
    const int error = errno;
    ::close(opened);
    return Status::systemFailure(Status::Code::kCannotOpen, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(opened);
    return Status::failure(Status::Code::kNotRegular);
  }
  const int status = ::fcntl(opened, F_GETFL);
  if (status < 0 || ::fcntl(opened, F_SETFL, status & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(opened);
    return Status::systemFailure(Status::Code::kCannotOpen, error);
  }
  fd = opened;
  return {};
}

Status readFileAt(int fd, std::uint64_t offset, std::span<std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::systemFailure(Status::Code::kReadFailed, errno);
    if (n == 0) return Status::failure(Status::Code::kReadFailed);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

}  // namespace indicizza
