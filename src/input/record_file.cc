#include "input/record_file.h"

#include <sys/stat.h>

#include "run/console.h"

namespace indicizza {
namespace {

constexpr const char* kOpenFailedMessage = "Errore lettura opere.cry";
constexpr const char* kReadFailedMessage = "Errore durante la lettura di opere.cry";

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

ReadOutcome readRecord(RecordFile& file, std::span<std::uint8_t, kRecordSize> buffer) {
  std::size_t got = 0;
  while (got < buffer.size()) {
    const std::size_t n = std::fread(buffer.data() + got, 1, buffer.size() - got, file.stream());
    got += n;
    if (n == 0) {
      if (std::ferror(file.stream())) fatalStop(kReadFailedMessage);
      break;
    }
  }
  if (got == buffer.size()) return ReadOutcome::kWholeRecord;
  return got == 0 ? ReadOutcome::kEnd : ReadOutcome::kShortRecord;
}

}  // namespace indicizza
