// The record file: a flat file of 525-byte scrambled records with no header,
// trailer or separators. A length that is not a multiple of 525 ends with a
// short record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>

#include "base/status.h"
#include "input/record_layout.h"

namespace indicizza {

inline constexpr const char* kRecordFileName = "opere.cry";

// The messages of the record file's failures.
inline constexpr const char* kRecordFileOpenFailed = "Errore lettura opere.cry";
inline constexpr const char* kRecordFileReadFailed = "Errore durante la lettura di opere.cry";

// An open record file (or none), read front to back. Owns its stream and
// closes it when destroyed; not copyable.
class RecordFile {
 public:
  RecordFile() = default;
  explicit RecordFile(std::FILE* file) : file_(file) {}
  RecordFile(RecordFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
  RecordFile& operator=(RecordFile&& other) noexcept;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  std::FILE* stream() const { return file_; }

 private:
  std::FILE* file_ = nullptr;
};

// Opens `path` for binary reading into `file`: a regular file, or a named
// pipe another program writes the records into (then waited for, as a
// pipe's reader does). Fails with kCannotOpen when it can't be opened,
// kNotRegular when it is a folder, a device or a socket (never read).
Status tryOpenRecordFile(const std::filesystem::path& path, RecordFile& file);

// The phase step over tryOpenRecordFile, on the record file of the working
// directory by default. Fatal stop kRecordFileOpenFailed on failure.
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

// Reads the file's next bytes into `buffer` until it is full, the file ends
// or a read fails; `size` is how many were read, in every case, so that the
// whole records read before a failure can be kept. Fails with kReadFailed
// on a read error.
Status readRecords(RecordFile& file, std::span<std::uint8_t> buffer, std::size_t& size);

// Reads the next record into `buffer`; `outcome` says what was read. Fails
// with kReadFailed on a read error (not the end of the file).
Status readRecord(RecordFile& file, std::span<std::uint8_t, kRecordSize> buffer,
                  ReadOutcome& outcome);

}  // namespace indicizza
