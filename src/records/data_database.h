// The data database: every catalogue record, still scrambled, under its
// record number. A B-tree that must exist before the run; the run never
// creates, empties or removes it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/berkeley_db.h"
#include "base/btree_page_file.h"
#include "base/shadow_file.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"

namespace indicizza {

inline constexpr const char* kDataDatabaseFileName = "opere.ddb";

// The fatal message of a data database that another program replaced or
// changed while the run worked from it: the file found is left as it is.
inline constexpr const char* kDataDatabaseReplaced =
    "opere.ddb cambiato da altri durante l'esecuzione: non sostituito";

// Keys are the record number as a signed 32-bit integer, little-endian; the
// B-tree compares keys as unsigned bytes from the first on, so records are
// visited by the lowest byte of their number first (256, 1, 2, ...).
inline constexpr std::size_t kRecordKeySize = 4;
using RecordKey = std::array<std::uint8_t, kRecordKeySize>;
RecordKey recordKeyOf(RecordNumber number);

// The record number a key holds: the inverse of recordKeyOf. Inline, as an
// increment's index looks at the key of every stored entry.
inline RecordNumber recordNumberOfKey(std::span<const std::uint8_t, kRecordKeySize> key) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < kRecordKeySize; ++i) bits |= std::uint32_t{key[i]} << (8 * i);
  return static_cast<RecordNumber>(bits);
}

// How the load writes the working copy: when it starts from an empty
// opere.ddb, as pages, made from the records in key order (btree_writer.h);
// else, or always for kLibraryPuts (the reference the pages are held to),
// through the library's bulk puts.
enum class DataWriting { kPages, kLibraryPuts };

// The load reads only the records it puts into terms (DataDatabase::
// changesOnly) when they come to at most this share of the records stored.
inline constexpr std::uint64_t kChangesOnlyShare = 8;

// The records a load replaced, as they were before (kStoredRecordSize bytes
// each, scrambled), and how many it added under numbers that were new.
struct EarlierVersions {
  std::vector<std::uint8_t> replaced;
  std::size_t added = 0;
  std::vector<RecordKey> keys;  // of every record put
};

// The data database of a run. It is never written in place: the load and
// the scan work on a working copy of opere.ddb (see shadow_file.h), made on
// a thread of its own from the open on, and put in place of opere.ddb when
// the data database is closed, after the scan. The copy is open for the
// library (`handle`) or, when written as pages, for the writer (`pages`),
// which the scan can't read: the records are then handed on as they are
// stored (see load_records.h).
struct DataDatabase {
  std::filesystem::path target;                   // the file opere.ddb names, links followed
  DataWriting writing = DataWriting::kPages;      // how the copy may be written
  std::unique_ptr<ShadowCopyInProgress> copying;  // until the copy is ready
  ShadowFile shadow;                              // destroyed after the handles on it
  bdb::Database handle;                           // open on the copy once it is ready
  BtreePageFile pages;                            // or this, for an empty opere.ddb
  // Set before the load: the opere.ddb whose index opere.idb is proved to be
  // (index_proof.h). When the copy was made from that very file and few
  // records are put, the load hands on only those (`changesOnly`, set by
  // the load, see load_records.h).
  std::optional<FileIdentity> indexedFrom;
  std::uint64_t indexedRecords = 0;  // the records that file held
  bool changesOnly = false;
  EarlierVersions earlier;  // of the records put, when `changesOnly`
  // The working copy as it took opere.ddb's place (tryCloseDataDatabase).
  std::optional<FileIdentity> committed;
};

// Whether the working copy is ready for the load, open for the library or
// for the page writer.
inline bool isReadyForLoad(const DataDatabase& database) {
  return database.handle.isOpen() || database.pages.isOpen();
}

// Starts on the data database at `path`: removes the working copy a killed
// run may have left, checks that the file exists and that the user may
// write it (the run replaces it), and starts copying it, its pages checked
// on the way. Requires the catalogue lock (see catalogue_lock.h). Fails
// with kCannotOpen when the file is missing or may not be written.
Status tryOpenDataDatabase(const std::filesystem::path& path, DataDatabase& database,
                           DataWriting writing = DataWriting::kPages);

// The phase step over tryOpenDataDatabase, on opere.ddb of the working
// directory by default. Fatal stop "opere.ddb open error".
DataDatabase openDataDatabase(const std::filesystem::path& path = kDataDatabaseFileName);

// Waits for the working copy and opens it: for the page writer when the
// database may be written as pages and the copy is an empty B-tree the
// writer makes again (emptyTreePageSize), else for the library. Succeeds
// at once when it is open already. Fails with kCannotOpen when the file can't be opened or the
// library can't open it; kNotRegular when it is no regular file (a named
// pipe, a device: never waited on); kUnknownFormat when it is no B-tree the library
// opens; kEncrypted when it is encrypted; kReadFailed when it can't be read;
// kForeign when it is a kind of B-tree this program never makes (one that
// holds duplicate keys, say); kDamaged when its pages are damaged;
// kWriteFailed when the working copy can't be made (no room on the disk, or
// no write permission in the folder); kNoHandle when no handle can be made.
Status tryReadyForLoad(DataDatabase& database);

// The fatal stop of a failed tryReadyForLoad: "db_create error" for
// kNoHandle, "Errore lettura opere.ddb" for kDamaged, "Errore copia
// opere.ddb" for kWriteFailed, "opere.ddb open error" for the rest (after a
// note on standard error that says so, for kEncrypted).
[[noreturn]] void stopOnUnreadyCopy(const Status& status);

// Whether the working copy is open for the library and was copied from
// the very file `indexedFrom` names.
bool copiedFromIndexed(const DataDatabase& database);

// The step over tryReadyForLoad.
void readyForLoad(DataDatabase& database);

// Puts every pair of `records` (key from recordKeyOf, data from
// the first kStoredRecordSize scrambled bytes) in one bulk put, replacing what their numbers held,
// or, into pages, after the pairs put before (their keys must come after
// those). Fails with kWriteFailed.
Status tryStoreRecords(DataDatabase& database, bdb::BulkPairs& records);

// Before `records` are put through the library: adds to `earlier` what the
// working copy holds under each of their numbers, or counts the number as
// new. Fails with kDamaged when a record can't be read whole.
Status tryNoteEarlierVersions(DataDatabase& database, const bdb::BulkPairs& records,
                              EarlierVersions& earlier);

// Ends the work on the data database, after the scan: closes the working
// copy (which writes the library's cache, or the last pages, to it) and puts it in place of
// opere.ddb (see ShadowFile::commit). Fails with kWriteFailed: opere.ddb is
// then as it was before the run (or, when only the last sync of the folder
// failed, whole with the new records); with kReplaced when opere.ddb is no
// longer the file the run copied, which is then left as it was found and
// the copy removed.
Status tryCloseDataDatabase(DataDatabase& database);

// The phase step over tryCloseDataDatabase: fatal stop kDataDatabaseReplaced
// for kReplaced, "Errore chiusura opere.ddb" for the rest.
void closeDataDatabase(DataDatabase& database);

// closeDataDatabase with its wait on the disk on a thread of its own, for a
// write phase that works silently meanwhile: started at construction,
// reported by finish(). Until finish() returns, others may read only the
// database's `target` and `earlier`. Destroying it waits for the thread.
// Not copyable.
class DataDatabaseClosing {
 public:
  explicit DataDatabaseClosing(DataDatabase& database);
  ~DataDatabaseClosing();
  DataDatabaseClosing(const DataDatabaseClosing&) = delete;
  DataDatabaseClosing& operator=(const DataDatabaseClosing&) = delete;

  // Whether the close is over, so that finish() returns at once.
  bool done() const { return done_.load(std::memory_order_acquire); }

  // Waits for the close, with closeDataDatabase's fatal stops.
  void finish();

 private:
  Status closed_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace indicizza
