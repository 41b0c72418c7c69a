// The load phase: every whole record of the record file into the data
// database.
#pragma once

#include "input/record_file.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {

// Reads the record file to its end and stores each whole record under the
// record number it carries (a later record with an equal number replaces the
// earlier one), writing a load dot every 200 records read. Records are put
// in batches of up to a million, each in ascending key order; the dots
// follow the puts. A short final record is reported ("Record con lunghezza
// diversa da quella stabilita") and dropped; the run goes on.
//
// Fatal stops: a read error ("Errore durante la lettura di opere.cry", after
// the whole records read before it are stored), a failed put ("put error"),
// an interruption (see interruption.h).
void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key);

}  // namespace indicizza
