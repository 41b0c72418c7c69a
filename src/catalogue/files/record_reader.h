// The records of a catalogue folder one at a time, for the commands that
// write them all out: opere.cry in file order, or the records stored in
// opere.ddb in ascending record number. What can't be taken as a record is
// handed on as a refusal that names it, and passed over; a file that can't
// be read any further ends the reading with a Status. Nothing here prints.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "base/status.h"
#include "input/decoded_record.h"

namespace indicizza {

// One step of a reading.
struct RecordStep {
  enum class Kind {
    kRecord,   // `record` is the next record, found at `place`
    kRefused,  // `problem` says what at that place is no record
    kEnd,      // no more
  };
  Kind kind = Kind::kEnd;
  std::string place;  // "record 3" (the third of opere.cry), "record numero 260"
  std::optional<DecodedRecord> record;
  std::string problem;
};

// A reading of one file. Not copyable; owns the file it reads.
class RecordReader {
 public:
  virtual ~RecordReader() = default;

  // The next step into `step`. Fails when the file can't be read any
  // further (its Status text says so); the reading then ends.
  virtual Status next(RecordStep& step) = 0;

  // The items met so far: the records of opere.cry (a short last one
  // too), the keys of opere.ddb.
  virtual std::size_t itemsMet() const = 0;
};

// A reading of opere.cry of the current folder, record by record: a short
// last record is refused ("record 7: incompleto (100 byte)"). Fails with
// the sentence "Errore lettura opere.cry" when the file can't be opened; a
// read that fails later says "Errore durante la lettura di opere.cry".
Status openRecordFileReading(std::unique_ptr<RecordReader>& reader);

// A reading of the records stored in opere.ddb of the current folder,
// opened read-only. Its pages are checked and its keys walked first, as
// the indexer's scan walks them, so that a damaged file is refused rather
// than read in part; a key that is no record key is refused first ("chiave
// di 3 byte in opere.ddb: non è un record"), then the records follow by
// number, one that can't be read refused with the Status's text. Fails as
// openReadOnly, checkDatabasePages and checkWalkEnd do.
Status openStoredRecordReading(std::unique_ptr<RecordReader>& reader);

}  // namespace indicizza
