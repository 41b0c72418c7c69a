#include "base/catalogue_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <utility>

#include "base/console.h"
#include "base/shadow_file.h"

namespace indicizza {
namespace {

// An open folder and what tells it from any other.
struct OpenFolder {
  dev_t device;
  ino_t inode;
  int fd;
};

bool sameFolder(const OpenFolder& a, const OpenFolder& b) {
  return a.device == b.device && a.inode == b.inode;
}

bool lockedBefore(const OpenFolder& a, const OpenFolder& b) {
  return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
}

}  // namespace

CatalogueLock::~CatalogueLock() { release(); }

CatalogueLock::CatalogueLock(CatalogueLock&& other) noexcept
    : fds_(std::exchange(other.fds_, {})) {}

void CatalogueLock::release() {
  for (const int fd : fds_) close(fd);
  fds_.clear();
}

Status CatalogueLock::tryLock(const std::vector<std::filesystem::path>& folders) {
  std::vector<OpenFolder> opened;
  for (const std::filesystem::path& folder : folders) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0) {
      opened.push_back({info.st_dev, info.st_ino, fd});
    } else if (fd >= 0) {
      close(fd);
    }
  }
  std::sort(opened.begin(), opened.end(), lockedBefore);
  for (std::size_t i = 0; i < opened.size(); ++i) {
    // A second descriptor of a folder already locked would find it busy.
    if (i > 0 && sameFolder(opened[i], opened[i - 1])) {
      close(opened[i].fd);
      continue;
    }
    fds_.push_back(opened[i].fd);
    int result;
    while ((result = flock(opened[i].fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {}
    if (result != 0 && errno == EWOULDBLOCK) {
      const Status busy = Status::systemFailure(Status::Code::kBusy, errno);
      for (std::size_t j = i + 1; j < opened.size(); ++j) close(opened[j].fd);
      release();
      return busy;
    }
  }
  return {};
}

std::filesystem::path workingCopyFolder(const std::filesystem::path& path) {
  const std::filesystem::path folder = linkTarget(path).parent_path();
  return folder.empty() ? "." : folder;
}

CatalogueLock lockCatalogue(const std::vector<std::filesystem::path>& databases) {
  std::vector<std::filesystem::path> folders;
  for (const std::filesystem::path& database : databases)
    folders.push_back(workingCopyFolder(database));
  CatalogueLock lock;
  if (!lock.tryLock(folders).ok()) fatalStop(kCatalogueBusyMessage);
  return lock;
}

}  // namespace indicizza
