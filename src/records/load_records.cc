#include "records/load_records.h"

#include "run/console.h"

namespace indicizza {

void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key) {
  ProgressCounter dots(kLoadDotEvery);
  std::array<std::uint8_t, kRecordSize> buffer;
  for (;;) {
    const ReadOutcome outcome = readRecord(file, buffer);
    if (outcome == ReadOutcome::kEnd) return;
    if (outcome == ReadOutcome::kShortRecord) {
      reportLine("Record con lunghezza diversa da quella stabilita");
      return;
    }
    const RecordNumber number = recordNumberOf(DecodedRecord::fromScrambled(buffer, key));
    store(database, number, buffer);
    dots.tick();
  }
}

}  // namespace indicizza
