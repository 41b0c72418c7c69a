#include "input/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/console.h"

namespace indicizza {
namespace {

// Records are read through a larger stream buffer than stdio's default: the
// file is read once, front to back.
constexpr std::size_t kStreamBufferSize = 1 << 20;

// The kind of file open on `fd`: a regular file, a named pipe (`pipe` then
// says which), or another.
enum class Kind { kRegular, kPipe, kOther };
Kind kindOf(int fd, std::pair<dev_t, ino_t>& pipe) {
  struct stat info;
  if (fstat(fd, &info) != 0) return Kind::kOther;
  pipe = {info.st_dev, info.st_ino};
  if (S_ISREG(info.st_mode)) return Kind::kRegular;
  return S_ISFIFO(info.st_mode) ? Kind::kPipe : Kind::kOther;
}

// Opens the record file to read: a regular file, or a named pipe another
// program writes the records into. A first open never waits (openRegularFile
// does the same); a regular file is then read through it, and a named pipe
// is opened again, waiting for its writer as a pipe's reader does, with the
// first open held until then (a writer that came meanwhile took it for the
// reader, and must never find none) and only if the file opened is the pipe
// looked at. Anything else (a folder, a device, a socket) fails with
// kNotRegular, never read.
Status openRecordSource(const std::filesystem::path& path, int& fd) {
  fd = -1;
  const int looked = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (looked < 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  std::pair<dev_t, ino_t> pipe;
  const Kind kind = kindOf(looked, pipe);
  if (kind == Kind::kRegular) {
    const int flags = fcntl(looked, F_GETFL);
    if (flags < 0 || fcntl(looked, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      const Status failure = Status::systemFailure(Status::Code::kCannotOpen, errno);
      close(looked);
      return failure;
    }
    fd = looked;
    return {};
  }
  if (kind != Kind::kPipe) {
    close(looked);
    return Status::failure(Status::Code::kNotRegular);
  }
  const int opened = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  const int openError = errno;
  close(looked);
  if (opened < 0) return Status::systemFailure(Status::Code::kCannotOpen, openError);
  std::pair<dev_t, ino_t> reopened;
  if (kindOf(opened, reopened) != Kind::kPipe || reopened != pipe) {
    close(opened);
    return Status::failure(Status::Code::kNotRegular);
  }
  fd = opened;
  return {};
}

}  // namespace

RecordFile::~RecordFile() {
  if (file_) std::fclose(file_);
}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    if (file_) std::fclose(file_);
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

Status tryOpenRecordFile(const std::filesystem::path& path, RecordFile& recordFile) {
  int fd = -1;
  const Status opened = openRecordSource(path, fd);
  if (!opened.ok()) return opened;
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    const Status failure = Status::systemFailure(Status::Code::kCannotOpen, errno);
    close(fd);
    return failure;
  }
  std::setvbuf(file, nullptr, _IOFBF, kStreamBufferSize);
  recordFile = RecordFile(file);
  return {};
}

RecordFile openRecordFile(const std::filesystem::path& path) {
  RecordFile file;
  if (!tryOpenRecordFile(path, file).ok()) fatalStop(kRecordFileOpenFailed);
  return file;
}

std::optional<std::uintmax_t> remainingBytes(RecordFile& file) {
  struct stat info;
  if (fstat(fileno(file.stream()), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const long position = std::ftell(file.stream());
  if (position < 0 || info.st_size < position) return 0;
  return static_cast<std::uintmax_t>(info.st_size - position);
}

Status readRecords(RecordFile& file, std::span<std::uint8_t> buffer, std::size_t& size) {
  size = 0;
  while (size < buffer.size()) {
    const std::size_t n = std::fread(buffer.data() + size, 1, buffer.size() - size, file.stream());
    size += n;
    if (n == 0) {
      if (std::ferror(file.stream()))
        return Status::systemFailure(Status::Code::kReadFailed, errno);
      break;
    }
  }
  return {};
}

Status readRecord(RecordFile& file, std::span<std::uint8_t, kRecordSize> buffer,
                  ReadOutcome& outcome) {
  std::size_t size = 0;
  Status read = readRecords(file, buffer, size);
  if (size == buffer.size()) {
    outcome = ReadOutcome::kWholeRecord;
  } else {
    outcome = size == 0 ? ReadOutcome::kEnd : ReadOutcome::kShortRecord;
  }
  return read;
}

}  // namespace indicizza
