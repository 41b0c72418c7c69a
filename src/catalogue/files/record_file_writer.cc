#include "catalogue/files/record_file_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace indicizza {
namespace {

Status cannotStart(const std::filesystem::path& target, Status::Code code,
                   const std::string& reason) {
  return Status::described(
      code, "Impossibile creare un file temporaneo per " + target.string() + ": " + reason);
}

}  // namespace

RecordFileWriter::~RecordFileWriter() {
  if (file_) std::fclose(file_);
}

Status RecordFileWriter::open(const std::filesystem::path& target) {
  target_ = target;
  int fd = -1;
  const Status started = ShadowFile::toWriteBeside(target, copy_, fd);
  if (started.ok()) {
    file_ = fdopen(fd, "wb");
    if (file_) {
      removal_.set(copy_.path());
      return {};
    }
    const int error = errno;
    close(fd);
    copy_ = ShadowFile();
    return cannotStart(target, Status::Code::kWriteFailed, std::strerror(error));
  }
  return cannotStart(target, started.code(), started.text());
}

Status RecordFileWriter::writeFailed() {
  return Status::described(
      Status::Code::kWriteFailed,
      "Errore di scrittura su " + copy_.path().string() + ": " + std::strerror(errno));
}

Status RecordFileWriter::append(const PlainRecord& record, const ScrambleKey& key) {
  const auto scrambled = record.scrambled(key);
  if (std::fwrite(scrambled.data(), 1, scrambled.size(), file_) != scrambled.size()) {
    return writeFailed();
  }
  return {};
}

Status RecordFileWriter::commit() {
  const bool flushed = std::fflush(file_) == 0;
  Status written = flushed ? Status() : writeFailed();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written.ok() && !closed) written = writeFailed();
  if (!written.ok()) return written;
  const Status committed = copy_.commit();
  // Renamed over the target, or removed.
  removal_.clear();
  if (committed.ok()) return {};
  return Status::described(Status::Code::kWriteFailed,
                           "Impossibile sostituire " + target_.string() + ": " + committed.text());
}

}  // namespace indicizza
