// The load phase: every whole record of the record file into the data
// database.
#pragma once

#include <cstddef>
#include <functional>

#include "base/status.h"
#include "input/record_file.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {

// The most memory that holds records read again for the puts, at once. The
// load needs a few tens of megabytes besides; the scan after it holds the
// word index, which for a million records needs more than both.
inline constexpr std::size_t kRereadSliceBytes = std::size_t{192} << 20;

// Told after each bulk put how many records read it stored (replaced ones
// included).
using StoredCount = std::function<void(std::size_t records)>;

// Given, when the data database is written as pages (see data_database.h),
// each bulk of records once it is stored, in key order: the records the
// scan would walk back, handed on in the same pass. The pairs live only for
// the call. False when what takes them has stopped (it says why itself):
// the load then ends at once.
using StoredRecords = std::function<bool(const bdb::BulkPairs& records)>;

// The silent core of the load: reads the record file to its end once,
// noting for each record number the last record read with it (a later record
// with an equal number replaces the earlier one), then puts only those
// records, in ascending key order, in bulk. A regular file is read again for
// the records put: through once per slice of them in key order (a slice
// held in at most `rereadSliceBytes`) when that costs less, else one record
// at a time at its place. Any other file (a pipe) is kept in memory as read.
// A helper thread gathers the bulk puts while this thread makes them. A
// short final record is dropped, and `shortFinalRecord` says so.
//
// When the working copy is written as pages, or opere.idb is proved to be
// the index of the file copied and the records put come to at most one in
// kChangesOnlyShare of those stored (DataDatabase::changesOnly), `handOn` (when
// set) is given the records as they are stored; when it returns false, the
// load ends there, successfully, the records after them neither stored nor
// read. In the second case what each number held before is noted first
// (tryNoteEarlierVersions, into DataDatabase::earlier).
//
// The working copy of the data database is waited for (tryReadyForLoad)
// once the file is read, and its failures are given as they are; the handle
// is open after any other failure.
//
// Fails with kReadFailed on a read error of the record file (after the whole
// records read before it are stored), kDamaged when a record the working
// copy held can't be read, kWriteFailed when a put fails,
// kInterrupted when a signal arrives (see interruption.h; looked at before
// each record read and each record put).
Status tryLoadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                      const StoredCount& stored, bool& shortFinalRecord,
                      const StoredRecords& handOn = {},
                      std::size_t rereadSliceBytes = kRereadSliceBytes);

// The load phase over tryLoadRecords: writes a load dot every 200 records
// read, as the puts succeed, and reports a short final record ("Record con
// lunghezza diversa da quella stabilita"); the run goes on. True when the
// records were handed on to `handOn` (all of them, into pages, or only
// those put, when DataDatabase::changesOnly): the scan is then to be ended
// on the pass they went to, not walked.
//
// Fatal stops: those of readyForLoad for a failure of the working copy,
// "Errore durante la lettura di opere.cry" for kReadFailed, "Errore lettura
// opere.ddb" for kDamaged, "put error" for kWriteFailed, an interruption.
bool loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                 const StoredRecords& handOn = {});

}  // namespace indicizza
