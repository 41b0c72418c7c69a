// The scan phase: every stored record back out of the data database, in key
// order, descrambled and handed to a record handler.
#pragma once

#include <cstddef>
#include <functional>

#include "base/berkeley_db.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {

// Called once per stored record with its descrambled bytes; the record lives
// only for the call.
using RecordHandler = std::function<void(const DecodedRecord&)>;

// Called once per stored item that is no whole record (its data is not 524
// bytes long), with its key (valid only for the call) and its data's size.
using OddItemHandler = std::function<void(const bdb::Item& key, std::size_t size)>;

// The silent core of the scan: walks `database` (open) in key order with an
// ItemWalk (see item_walk.h) on a helper thread, which descrambles a copy of
// each item of 524 bytes; on the calling thread, in key order, calls
// `record` for each of them and `oddItem` for any other item. The helper is
// done with `database` when this returns, however it returns. Returns the walk's
// status: ok, kNoHandle, kEmpty, kReadFailed or kDamaged; or kInterrupted
// when a signal arrives (see interruption.h; looked at before each item). An
// exception from a handler ends the walk.
Status tryScanRecords(bdb::Database& database, const ScrambleKey& key, const RecordHandler& record,
                      const OddItemHandler& oddItem);

// The scan phase over tryScanRecords. For each record: calls `handler`
// (when set), writes a scan dot every 100 records. Items of any other size
// are reported with a line naming their key and skipped (not handled, not
// counted).
//
// Fatal stops: "Errore nella creazione del cursore" when no cursor can be
// made; "Errore costruzione DB" when there is no first item (an empty
// database, or a first step that fails); "Errore lettura opere.ddb" when a
// later step fails, or the walk finds the file damaged (see item_walk.h); an
// interruption (see interruption.h). The line of load dots is ended once the
// first item is read; the line of scan dots at the end. Items are read in
// bulk, which changes none of this.
void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler);

}  // namespace indicizza
