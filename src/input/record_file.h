// The record file: a flat file of 525-byte scrambled records with no header,
// trailer or separators. A length that is not a multiple of 525 ends with a
// short record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>

#include "input/record_layout.h"

namespace indicizza {

inline constexpr const char* kRecordFileName = "opere.cry";

// An open record file, read front to back. Owns its stream and closes it when
// destroyed; not copyable.
class RecordFile {
 public:
  explicit RecordFile(std::FILE* file) : file_(file) {}
  RecordFile(RecordFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  RecordFile& operator=(RecordFile&&) = delete;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  std::FILE* stream() const { return file_; }

 private:
  std::FILE* file_;
};

// Opens `path` (the record file of the working directory by default) for
// binary reading. Fatal stop "Errore lettura opere.cry" when it can't be
// opened, or is a directory.
RecordFile openRecordFile(const std::filesystem::path& path = kRecordFileName);

enum class ReadOutcome {
  kWholeRecord,  // the buffer holds the next 525 bytes
  kEnd,          // no byte was left
  kShortRecord,  // 1 to 524 bytes were left; the buffer holds them first
};

// How many bytes the file holds past the current position, as far as can be
// told now: a size hint, not a promise. Nothing for a file that is not a
// regular file (a pipe, say), whose length is unknown until it ends.
std::optional<std::uintmax_t> remainingBytes(RecordFile& file);

// The outcome of readRecords: how many bytes were read into the buffer, and
// whether the reading stopped on a read error rather than at the end of the
// file or of the buffer.
struct RecordBytesRead {
  std::size_t size = 0;
  bool failed = false;
};

// The fatal message of a read error on the record file.
inline constexpr const char* kRecordFileReadFailed = "Errore durante la lettura di opere.cry";

// Reads the file's next bytes into `buffer` until it is full, the file ends
// or a read fails. The caller decides what a failure stops (see
// kRecordFileReadFailed), so that the whole records read before it can be
// kept first.
RecordBytesRead readRecords(RecordFile& file, std::span<std::uint8_t> buffer);

// Reads the next record into `buffer`. A read error (not the end of the file)
// is a fatal stop "Errore durante la lettura di opere.cry".
ReadOutcome readRecord(RecordFile& file, std::span<std::uint8_t, kRecordSize> buffer);

}  // namespace indicizza
