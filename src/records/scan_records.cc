#include "records/scan_records.h"

#include <cstdio>
#include <string>

#include "run/console.h"

namespace indicizza {
namespace {

// Size of the buffer that receives the records of one cursor step.
constexpr std::size_t kBulkGetBytes = std::size_t{4} << 20;

// "42" for a 4-byte key (its record number), hex bytes for any other key.
std::string describeKey(const bdb::Item& key) {
  if (key.size == kRecordKeySize) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < kRecordKeySize; ++i) bits |= std::uint32_t{key.data[i]} << (8 * i);
    return std::to_string(static_cast<RecordNumber>(bits));
  }
  std::string hex = "0x";
  for (std::uint8_t byte : key.bytes()) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    hex += digits;
  }
  return hex;
}

}  // namespace

void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler) {
  bdb::Cursor cursor;
  if (database.handle.openCursor(cursor) != 0) fatalStop("Errore nella creazione del cursore");

  bdb::BulkItems items(kBulkGetBytes);
  if (cursor.firstBulk(items) != 0) fatalStop("Errore costruzione DB");
  reportLine("");

  ProgressCounter dots(kScanDotEvery);
  int result = 0;
  do {
    bdb::Item itemKey;
    bdb::Item item;
    while (items.next(itemKey, item)) {
      if (item.size != kStoredRecordSize) {
        reportLine("Record di lunghezza errata in opere.ddb, chiave " + describeKey(itemKey) +
                   ": ignorato");
        continue;
      }
      const DecodedRecord record = DecodedRecord::fromScrambled(item.bytes(), key);
      if (handler) handler(record);
      dots.tick();
    }
  } while ((result = cursor.nextBulk(items)) == 0);

  if (result != bdb::kNotFound) fatalStop("Errore lettura opere.ddb");
  cursor.close();
  reportLine("");
}

}  // namespace indicizza
