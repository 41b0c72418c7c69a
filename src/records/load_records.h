// The load phase: every whole record of the record file into the data
// database.
#pragma once

#include "input/record_file.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {

// Reads the record file to its end and stores each whole record under the
// record number it carries (a later record with an equal number replaces the
// earlier one), writing a load dot every 200 puts. A short final record is
// reported ("Record con lunghezza diversa da quella stabilita") and dropped;
// the run goes on. Failures are fatal stops (see readRecord and store).
void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key);

}  // namespace indicizza
