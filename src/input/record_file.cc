#include "input/record_file.h"

#include <sys/stat.h>

#include "base/console.h"

namespace indicizza {
namespace {

constexpr const char* kOpenFailedMessage = "Errore lettura opere.cry";

// Records are read through a larger stream buffer than stdio's default: the
// file is read once, front to back.
constexpr std::size_t kStreamBufferSize = 1 << 20;

}  // namespace

RecordFile::~RecordFile() {
  if (file_) std::fclose(file_);
}

RecordFile openRecordFile(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) fatalStop(kOpenFailedMessage);
  RecordFile recordFile(file);
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) fatalStop(kOpenFailedMessage);
  std::setvbuf(file, nullptr, _IOFBF, kStreamBufferSize);
  return recordFile;
}

std::optional<std::uintmax_t> remainingBytes(RecordFile& file) {
  struct stat info;
  if (fstat(fileno(file.stream()), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const long position = std::ftell(file.stream());
  if (position < 0 || info.st_size < position) return 0;
  return static_cast<std::uintmax_t>(info.st_size - position);
}

RecordBytesRead readRecords(RecordFile& file, std::span<std::uint8_t> buffer) {
  RecordBytesRead read;
  while (read.size < buffer.size()) {
    const std::size_t n =
        std::fread(buffer.data() + read.size, 1, buffer.size() - read.size, file.stream());
    read.size += n;
    if (n == 0) {
      read.failed = std::ferror(file.stream()) != 0;
      break;
    }
  }
  return read;
}

ReadOutcome readRecord(RecordFile& file, std::span<std::uint8_t, kRecordSize> buffer) {
  const RecordBytesRead read = readRecords(file, buffer);
  if (read.failed) fatalStop(kRecordFileReadFailed);
  if (read.size == buffer.size()) return ReadOutcome::kWholeRecord;
  return read.size == 0 ? ReadOutcome::kEnd : ReadOutcome::kShortRecord;
}

}  // namespace indicizza
