// The data database: every catalogue record, still scrambled, under its
// record number. A B-tree that must exist before the run; the run never
// creates, empties or removes it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "records/berkeley_db.h"
#include "records/shadow_file.h"

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

// The data database of a run. It is never written in place: the load and
// the scan work on a working copy of opere.ddb (see shadow_file.h), made on
// a thread of its own from the open on, and put in place of opere.ddb by
// closeDataDatabase.
struct DataDatabase {
  std::filesystem::path target;                    // the file opere.ddb names, links followed
  std::unique_ptr<ShadowCopyInProgress> copying;   // until readyForLoad
  ShadowFile shadow;                               // destroyed after the handle on it
  bdb::Database handle;                            // open on the copy from readyForLoad on
};

// Starts on the data database at `path` (opere.ddb of the working
// directory by default): removes the working copy a killed run may have
// left, checks that the file exists and that the user may write it, and
// starts copying it, checking its pages on the way. Requires the catalogue
// lock (see catalogue_lock.h). Fatal stop "opere.ddb open error" when the
// file is missing or may not be written.
DataDatabase openDataDatabase(const std::filesystem::path& path = kDataDatabaseFileName);

// Waits for the working copy and opens it; returns at once when it is open
// already. Called before anything is stored.
//
// Fatal stops: "opere.ddb open error" when the file can't be read, is not a
// B-tree the library opens, or is a kind of B-tree this program never makes
// (one that holds duplicate keys, say); "Errore lettura opere.ddb" when its
// pages are damaged; "Errore copia opere.ddb" when the working copy can't be
// made (no room on the disk, or no write permission in the folder);
// "db_create error" when no handle can be made.
void readyForLoad(DataDatabase& database);

// The data item of a record: its first 524 scrambled bytes.
inline std::span<const std::uint8_t, kStoredRecordSize> storedRecordBytes(
    std::span<const std::uint8_t, kRecordSize> scrambled) {
  return scrambled.first<kStoredRecordSize>();
}

// Puts every pair of `records` (key from recordKeyOf, data from
// storedRecordBytes) in one bulk put, replacing what their numbers held, then clears `records`.
// Fatal stop "put error" on failure.
void storeRecords(DataDatabase& database, bdb::BulkPairs& records);

// Ends the work on the data database after the scan: closes the working
// copy (writing the library's cache to it) and puts it in place of
// opere.ddb (see ShadowFile::commit). Fatal stop "Errore chiusura opere.ddb"
// when the close or the replacement fails: opere.ddb is then as it was
// before the run (or, when only the last sync of the folder failed, whole
// with the new records).
void closeDataDatabase(DataDatabase& database);

}  // namespace indicizza
