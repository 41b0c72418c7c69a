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

// Told after each bulk put how many records read it stored (replaced ones
// included).
using StoredCount = std::function<void(std::size_t records)>;

// The silent core of the load: reads the record file to its end and stores
// each whole record under the record number it carries (a later record with
// an equal number replaces the earlier one). Records are put in batches of
// up to a million, each in ascending key order. A short final record is
// dropped, and `shortFinalRecord` says so.
//
// The working copy of the data database is waited for (tryReadyForLoad)
// once the first batch is read and sorted, and its failures are given as
// they are; the handle is open after any other failure.
//
// Fails with kReadFailed on a read error of the record file (after the whole
// records read before it are stored), kWriteFailed when a put fails,
// kInterrupted when a signal arrives (see interruption.h; looked at before
// each record).
Status tryLoadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                      const StoredCount& stored, bool& shortFinalRecord);

// The load phase over tryLoadRecords: writes a load dot every 200 records
// read, as the puts succeed, and reports a short final record ("Record con
// lunghezza diversa da quella stabilita"); the run goes on.
//
// Fatal stops: those of readyForLoad for a failure of the working copy,
// "Errore durante la lettura di opere.cry" for kReadFailed, "put error" for
// kWriteFailed, an interruption.
void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key);

}  // namespace indicizza
