// The data database: every catalogue record, still scrambled, under its
// record number. A B-tree that must exist before the run; the run never
// creates, empties or removes it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "base/berkeley_db.h"
#include "base/shadow_file.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"

namespace indicizza {

inline constexpr const char* kDataDatabaseFileName = "opere.ddb";

// Keys are the record number as a signed 32-bit integer, little-endian; the
// B-tree compares keys as unsigned bytes from the first on, so records are
// visited by the lowest byte of their number first (256, 1, 2, ...).
inline constexpr std::size_t kRecordKeySize = 4;
using RecordKey = std::array<std::uint8_t, kRecordKeySize>;
RecordKey recordKeyOf(RecordNumber number);

// The record number a key holds: the inverse of recordKeyOf.
RecordNumber recordNumberOfKey(std::span<const std::uint8_t, kRecordKeySize> key);

// The open data database. From the open to commitDataDatabase the handle
// is on the working copy of opere.ddb (see shadow_file.h), which the load
// writes; from then on, on opere.ddb itself, read-only, for the scan.
struct DataDatabase {
  std::filesystem::path target;  // the file opere.ddb names, links followed
  ShadowFile shadow;             // destroyed after the handle on it
  bdb::Database handle;
};

// Opens the data database at `path` (opere.ddb of the working directory by
// default) for the load: removes the working copy a killed run may have
// left, copies the file (which must exist, and which the user must be
// allowed to write) to a new working copy, checking its pages on the way,
// and opens the copy. Requires the catalogue lock (see catalogue_lock.h).
//
// Fails with kCannotOpen when the file is missing, may not be written or is
// not a B-tree the library opens; kReadFailed when it can't be read;
// kForeign when it is a kind of B-tree this program never makes (one that
// holds duplicate keys, say); kDamaged when its pages are damaged;
// kWriteFailed when the working copy can't be made (no room on the disk, or
// no write permission in the folder); kNoHandle when no handle can be made.
Status tryOpenDataDatabase(const std::filesystem::path& path, DataDatabase& database);

// The phase step over tryOpenDataDatabase. Fatal stops: "db_create error"
// for kNoHandle; "Errore lettura opere.ddb" for kDamaged; "Errore copia
// opere.ddb" for kWriteFailed; "opere.ddb open error" for the rest.
DataDatabase openDataDatabase(const std::filesystem::path& path = kDataDatabaseFileName);

// The data item of a record: its first 524 scrambled bytes.
inline std::span<const std::uint8_t, kStoredRecordSize> storedRecordBytes(
    std::span<const std::uint8_t, kRecordSize> scrambled) {
  return scrambled.first<kStoredRecordSize>();
}

// Puts every pair of `records` (key from recordKeyOf, data from
// storedRecordBytes) in one bulk put, replacing what their numbers held,
// then clears `records`. Fails with kWriteFailed.
Status tryStoreRecords(DataDatabase& database, bdb::BulkPairs& records);

// Ends the load: closes the working copy (writing the library's cache to
// it), puts it in place of opere.ddb (see ShadowFile::commit) and opens
// opere.ddb again, read-only, for the scan. Fails with kWriteFailed when the
// close or the replacement fails (opere.ddb is then as it was before the
// run, or whole with the new records); kNoHandle or kCannotOpen when the
// file can't be opened again.
Status tryCommitDataDatabase(DataDatabase& database);

// The phase step over tryCommitDataDatabase. Fatal stops: "Errore chiusura
// opere.ddb" for kWriteFailed; "db_create error" and "opere.ddb open error"
// as for the first open.
void commitDataDatabase(DataDatabase& database);

// Closes the data database after the scan, when it is open. Fails with
// kWriteFailed.
Status tryCloseDataDatabase(DataDatabase& database);

// The phase step over tryCloseDataDatabase: a failed close is a fatal stop
// "Errore chiusura opere.ddb".
void closeDataDatabase(DataDatabase& database);

}  // namespace indicizza
