#include "input/record_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/console.h"

namespace indicizza {
namespace {

// Records are read through a larger stream buffer than stdio's default: the
// file is read once, front to back.
constexpr std::size_t kStreamBufferSize = 1 << 20;

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
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  RecordFile opened(file);
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode))
    return Status::failure(Status::Code::kCannotOpen);
  std::setvbuf(file, nullptr, _IOFBF, kStreamBufferSize);
  recordFile = std::move(opened);
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
