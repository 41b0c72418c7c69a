// The data database: every catalogue record, still scrambled, under its
// record number. A B-tree that must exist before the run; the run never
// creates, empties or removes it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "records/berkeley_db.h"

namespace indicizza {

inline constexpr const char* kDataDatabaseFileName = "opere.ddb";
inline constexpr int kDatabaseFileMode = 0664;

// Keys are the record number as a signed 32-bit integer, little-endian; the
// B-tree compares keys as unsigned bytes from the first on, so records are
// visited by the lowest byte of their number first (256, 1, 2, ...).
inline constexpr std::size_t kRecordKeySize = 4;
using RecordKey = std::array<std::uint8_t, kRecordKeySize>;
RecordKey recordKeyOf(RecordNumber number);

// The record number a key holds: the inverse of recordKeyOf.
RecordNumber recordNumberOfKey(std::span<const std::uint8_t, kRecordKeySize> key);

// The open data database: the handle on which opere.ddb is open, from before
// the load phase to the end of the scan phase.
struct DataDatabase {
  bdb::Database handle;
};

// Opens the existing B-tree at `path` (opere.ddb of the working directory by
// default). Fatal stop "db_create error" when no handle can be made,
// "opere.ddb open error" when the file is missing or not a B-tree the
// library can open.
DataDatabase openDataDatabase(const std::filesystem::path& path = kDataDatabaseFileName);

// The data item of a record: its first 524 scrambled bytes.
inline std::span<const std::uint8_t, kStoredRecordSize> storedRecordBytes(
    std::span<const std::uint8_t, kRecordSize> scrambled) {
  return scrambled.first<kStoredRecordSize>();
}

// Puts every pair of `records` (key from recordKeyOf, data from storedItemOf)
// in one bulk put, replacing what their numbers held, then clears `records`.
// Fatal stop "put error" on failure.
void storeRecords(DataDatabase& database, bdb::BulkPairs& records);

// Closes the data database, flushing its cache to the file. A failed close
// (a full disk shows up here) is a fatal stop "Errore chiusura opere.ddb".
void closeDataDatabase(DataDatabase& database);

}  // namespace indicizza
