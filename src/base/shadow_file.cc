#include "base/shadow_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/btree_pages.h"
#include "base/quiet_thread.h"
#include "base/regular_file.h"

namespace indicizza {
namespace {

// The suffix of a working copy's name.
constexpr const char* kShadowSuffix = ".nuovo";

// Symbolic links followed before a path is taken for a loop (the kernel's
// own limit).
constexpr int kMostLinksFollowed = 40;

// A working copy of a writer without the lock is named FILE.XXXXXX: six
// characters drawn from these, a new draw when the name is taken.
constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kUniqueNameLength = 6;

// A copy's pages are sent to the disk each time this much more is copied,
// so that the disk works while the run reads its input, and the commit has
// little left to wait for.
constexpr std::uint64_t kCopyWritebackEveryBytes = std::uint64_t{32} << 20;
constexpr int kUniqueNameAttempts = 100;
std::string uniqueSuffix(std::mt19937_64& random) {
  std::uniform_int_distribution<std::size_t> pick(0, kNameCharacters.size() - 1);
  std::string suffix = ".";
  for (int i = 0; i < kUniqueNameLength; ++i) suffix += kNameCharacters[pick(random)];
  return suffix;
}

Status writeFailure() { return Status::systemFailure(Status::Code::kWriteFailed, errno); }

// Writes all of `bytes` to `fd` at `offset`; kWriteFailed on a failed
// write (a full disk).
Status writeAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return writeFailure();
    if (n == 0) return Status::failure(Status::Code::kWriteFailed);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

// Copies the bytes of `source` from `from` to `size` to the same place in
// `destination`, reading and writing them here; stretches are sent to the
// disk as they are written. Fails with kReadFailed (the file ending early
// included), or kWriteFailed when a write fails or `stop` is set.
Status copyByHand(int source, int destination, std::uint64_t from, std::uint64_t size,
                  const std::atomic<bool>* stop) {
  std::vector<std::uint8_t> piece(kCheckedPieceBytes);
  std::uint64_t sinceWriteback = 0;
  for (std::uint64_t done = from; done < size;) {
    if (stop && *stop) return Status::failure(Status::Code::kWriteFailed);
    const std::span<std::uint8_t> bytes(
        piece.data(), static_cast<std::size_t>(std::min<std::uint64_t>(size - done, piece.size())));
    Status moved = readFileAt(source, done, bytes);
    if (moved.ok()) moved = writeAllAt(destination, done, bytes);
    if (!moved.ok()) return moved;
    done += bytes.size();
    sinceWriteback += bytes.size();
    if (sinceWriteback >= kCopyWritebackEveryBytes) {
      // Only advice: the commit's sync makes sure of it.
      sync_file_range(destination, 0, 0, SYNC_FILE_RANGE_WRITE);
      sinceWriteback = 0;
    }
  }
  return {};
}

// Copies the `size` bytes of `source` to the empty file `destination`: the
// kernel copies them a stretch of kCopyWritebackEveryBytes at a time
// (copy_file_range: the bytes are not written through this process, which
// made the copy a quarter faster), each stretch sent to the disk once
// written. Once the kernel can't copy (another file system, or a failure),
// the rest is copied by hand, which tells a failed read from a failed
// write. Fails as copyByHand does.
Status copyFile(int source, int destination, std::uint64_t size, const std::atomic<bool>* stop) {
  posix_fadvise(source, 0, 0, POSIX_FADV_SEQUENTIAL);
  for (std::uint64_t done = 0; done < size;) {
    if (stop && *stop) return Status::failure(Status::Code::kWriteFailed);
    auto in = static_cast<off_t>(done);
    auto out = static_cast<off_t>(done);
    const ssize_t n = copy_file_range(source, &in, destination, &out,
                                      std::min(size - done, kCopyWritebackEveryBytes), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return copyByHand(source, destination, done, size, stop);
    if (n == 0) return Status::failure(Status::Code::kReadFailed);  // the file ended early
    done += static_cast<std::uint64_t>(n);
    sync_file_range(destination, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  return {};
}

// Makes durable the rename of an entry of `folder`.
Status syncFolder(const std::filesystem::path& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return writeFailure();
  Status synced;
  if (fsync(fd) != 0) synced = writeFailure();
  close(fd);
  return synced;
}

// Gives the file `from` the name `to` unless `to` exists (-1, errno EEXIST),
// in one step: a rename that never replaces, or where the file system can't
// promise that, a second name and then the removal of the first. -1 with
// errno set on failure, `from` then still in place.
int renameAsNew(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL) return -1;
  if (link(from.c_str(), to.c_str()) != 0) return -1;
  unlink(from.c_str());
  return 0;
}

}  // namespace

std::filesystem::path linkTarget(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  for (int i = 0; i < kMostLinksFollowed; ++i) {
    std::error_code error;
    if (!std::filesystem::is_symlink(current, error)) return current;
    const std::filesystem::path next = std::filesystem::read_symlink(current, error);
    if (error) return current;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current;
}

std::filesystem::path shadowPathOf(const std::filesystem::path& target) {
  std::filesystem::path shadow = target;
  shadow += kShadowSuffix;
  return shadow;
}

void removeLeftoverShadow(const std::filesystem::path& target) {
  unlink(shadowPathOf(target).c_str());
}

ShadowFile::~ShadowFile() {
  if (pending_) unlink(path_.c_str());
  if (releasing_.joinable()) releasing_.join();
}

ShadowFile::ShadowFile(ShadowFile&& other) noexcept
    : target_(std::move(other.target_)),
      path_(std::move(other.path_)),
      ownership_(other.ownership_),
      proveTarget_(other.proveTarget_),
      startedFrom_(other.startedFrom_),
      pending_(std::exchange(other.pending_, false)),
      releasing_(std::move(other.releasing_)) {}

ShadowFile& ShadowFile::operator=(ShadowFile&& other) noexcept {
  if (this != &other) {
    if (pending_) unlink(path_.c_str());
    if (releasing_.joinable()) releasing_.join();
    target_ = std::move(other.target_);
    path_ = std::move(other.path_);
    ownership_ = other.ownership_;
    proveTarget_ = other.proveTarget_;
    startedFrom_ = other.startedFrom_;
    pending_ = std::exchange(other.pending_, false);
    releasing_ = std::move(other.releasing_);
  }
  return *this;
}

Status ShadowFile::copyOf(const std::filesystem::path& target, ShadowFile& shadow,
                          const std::atomic<bool>* stop) {
  int source = -1;
  const Status opened = openRegularFile(target.c_str(), O_RDONLY, source);
  if (!opened.ok()) return opened;
  struct stat info;
  if (fstat(source, &info) != 0) {
    const Status failure = Status::systemFailure(Status::Code::kCannotOpen, errno);
    close(source);
    return failure;
  }
  ShadowFile copy;
  copy.target_ = target;
  copy.path_ = shadowPathOf(target);
  copy.ownership_ = Ownership{info.st_mode & 07777, info.st_uid, info.st_gid};
  copy.proveTarget_ = true;
  copy.startedFrom_ = identityOfOpenFile(source);
  // Private until it takes the target's place.
  const int destination =
      open(copy.path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (destination < 0) {
    const Status failure = writeFailure();
    close(source);
    return failure;
  }
  copy.pending_ = true;
  // The copy's own bytes are checked, read back from it.
  const auto size = static_cast<std::uint64_t>(info.st_size);
  Status copied = copyFile(source, destination, size, stop);
  if (copied.ok()) copied = readCheckedPages(destination, size);
  close(source);
  // A copy that could not be written whole says so before anything the
  // reading found.
  if (close(destination) != 0 && copied.code() != Status::Code::kWriteFailed)
    copied = writeFailure();
  if (copied.ok()) shadow = std::move(copy);
  return copied;
}

ShadowFile ShadowFile::toCreate(const std::filesystem::path& target) {
  ShadowFile shadow;
  shadow.target_ = target;
  shadow.path_ = shadowPathOf(target);
  shadow.proveTarget_ = true;
  shadow.pending_ = true;
  return shadow;
}

Status ShadowFile::toRewrite(const std::filesystem::path& target, const FileIdentity& startedFrom,
                             ShadowFile& shadow) {
  struct stat info;
  if (stat(target.c_str(), &info) != 0)
    return Status::systemFailure(Status::Code::kCannotOpen, errno);
  if (!S_ISREG(info.st_mode)) return Status::failure(Status::Code::kNotRegular);
  shadow = toCreate(target);
  shadow.ownership_ = Ownership{info.st_mode & 07777, info.st_uid, info.st_gid};
  shadow.startedFrom_ = startedFrom;
  return {};
}

Status ShadowFile::toWriteBeside(const std::filesystem::path& target, ShadowFile& shadow, int& fd,
                                 mode_t newFileMode) {
  ShadowFile copy;
  copy.target_ = linkTarget(target);
  struct stat info;
  if (stat(copy.target_.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      return Status::systemFailure(Status::Code::kCannotOpen,
                                   S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    copy.ownership_ = Ownership{info.st_mode & 07777, info.st_uid, info.st_gid};
  } else if (errno != ENOENT) {
    return Status::systemFailure(Status::Code::kCannotOpen, errno);
  }
  std::mt19937_64 random(std::random_device{}());
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    copy.path_ = copy.target_;
    copy.path_ += uniqueSuffix(random);
    fd = open(copy.path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return writeFailure();
    copy.pending_ = true;
    // Created as any new file is (the umask decides its mode), then made
    // private while it is written: a new target gets that mode back when
    // the copy takes its place.
    struct stat created;
    if (fstat(fd, &created) != 0 || fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
      const Status failure = writeFailure();
      close(fd);
      fd = -1;
      return failure;
    }
    if (!copy.ownership_) {
      copy.ownership_ = Ownership{created.st_mode & 07777, created.st_uid, created.st_gid};
    }
    shadow = std::move(copy);
    return {};
  }
  return Status::systemFailure(Status::Code::kWriteFailed, EEXIST);
}

Status ShadowFile::commit() { return publish(true); }

Status ShadowFile::commitAsNew() { return publish(false); }

Status ShadowFile::publish(bool replace) {
  if (!pending_) return Status::failure(Status::Code::kWriteFailed);
  const Status ready = readyToPublish();
  if (!ready.ok()) return ready;
  if (!replace) {
    if (renameAsNew(path_, target_) != 0) return writeFailure();
    pending_ = false;
    return syncFolder(target_.parent_path());
  }
  return proveTarget_ ? swapWithStartingFile() : replaceTarget();
}

Status ShadowFile::readyToPublish() {
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return writeFailure();
  Status done;
  if (ownership_) {
    if (fchmod(fd, ownership_->mode) != 0) done = writeFailure();
    // Only root may give a file away; a user's own copy keeps the user.
    if (fchown(fd, ownership_->owner, ownership_->group) != 0 && errno != EPERM && done.ok()) {
      done = writeFailure();
    }
  }
  if (done.ok() && fsync(fd) != 0) done = writeFailure();
  close(fd);
  return done;
}

Status ShadowFile::swapWithStartingFile() {
  if (!startedFrom_) {
    // There was no file: one that came since is not this run's to replace.
    if (renameAsNew(path_, target_) != 0) {
      return errno == EEXIST ? Status::failure(Status::Code::kReplaced) : writeFailure();
    }
    pending_ = false;
    return syncFolder(target_.parent_path());
  }
  if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) != 0) {
    // The file started from is gone, and no other has its name.
    if (errno == ENOENT) return Status::failure(Status::Code::kReplaced);
    if (errno != EINVAL) return writeFailure();
    // A file system that can't swap two names: compared, then replaced.
    if (identityOfEntry(target_) != startedFrom_) return Status::failure(Status::Code::kReplaced);
    return replaceTarget();
  }
  // The copy has the target's name now, and what was there has the copy's.
  if (identityOfEntry(path_) != startedFrom_) {
    // Another file: it goes back under its name, over the copy, at once.
    if (rename(path_.c_str(), target_.c_str()) != 0) {
      // It can't: it is left under the copy's name rather than removed.
      pending_ = false;
      return writeFailure();
    }
    pending_ = false;
    const Status synced = syncFolder(target_.parent_path());
    return synced.ok() ? Status::failure(Status::Code::kReplaced) : synced;
  }
  // Held open across the removal, so that its blocks are freed by the close,
  // away from the run, rather than by the removal.
  const int replaced = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  unlink(path_.c_str());
  pending_ = false;
  if (replaced >= 0) releaseLater(replaced);
  return syncFolder(target_.parent_path());
}

Status ShadowFile::replaceTarget() {
  // Held open across the rename, so that its blocks are freed by the close
  // below, away from the run, rather than by the rename. Never waited on: a
  // named pipe in the target's place is replaced, not read.
  const int replaced = open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (rename(path_.c_str(), target_.c_str()) != 0) {
    if (replaced >= 0) close(replaced);
    return writeFailure();
  }
  pending_ = false;
  if (replaced >= 0) releaseLater(replaced);
  return syncFolder(target_.parent_path());
}

void ShadowFile::releaseLater(int fd) {
  releasing_ = startQuietThread([fd] { close(fd); });
}

ShadowCopyInProgress::ShadowCopyInProgress(std::filesystem::path target)
    : thread_(startQuietThread([this, target = std::move(target)] {
        status_ = ShadowFile::copyOf(target, shadow_, &stop_);
      })) {}

ShadowCopyInProgress::~ShadowCopyInProgress() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

Status ShadowCopyInProgress::finish(ShadowFile& shadow) {
  thread_.join();
  if (status_.ok()) shadow = std::move(shadow_);
  return status_;
}

}  // namespace indicizza
