// The scan phase: every stored record back out of the data database, in key
// order, descrambled and handed to a record handler.
#pragma once

#include <functional>

#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {

// Called once per stored record with its descrambled bytes; the record lives
// only for the call.
using RecordHandler = std::function<void(const DecodedRecord&)>;

// Walks the data database with one cursor in key order. For each item of 524
// bytes: descrambles a copy, calls `handler` (when set), writes a scan dot
// every 100 records. Items of any other size are reported with a line naming
// their key and skipped (not handled, not counted).
//
// Fatal stops: "Errore nella creazione del cursore" when no cursor can be
// made; "Errore costruzione DB" when there is no first item (an empty
// database included); "Errore lettura opere.ddb" when a later step fails
// with anything but the end of the data, or the walk finds the file damaged
// (see item_walk.h); an interruption (see interruption.h). The line of load
// dots is ended once the first item is read; the line of scan dots at the
// end. Items are read in bulk, which changes none of this.
void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler);

}  // namespace indicizza
