#include "records/scan_records.h"

#include <cstdio>
#include <string>

#include "run/console.h"
#include "run/interruption.h"

namespace indicizza {
namespace {

// Size of the buffer that receives the records of one cursor step.
constexpr std::size_t kBulkGetBytes = std::size_t{4} << 20;

// "42" for a 4-byte key (its record number), hex bytes for any other key.
std::string describeKey(const bdb::Item& key) {
  if (key.size == kRecordKeySize) {
    return std::to_string(recordNumberOfKey(key.bytes().first<kRecordKeySize>()));
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

  ProgressCounter dots(kScanDotEvery);
  bool started = false;  // whether the first item has been read
  const auto handle = [&](const bdb::Item& itemKey, const bdb::Item& item) {
    stopIfInterrupted();
    if (!started) {
      reportLine("");  // ends the line of load dots
      started = true;
    }
    if (item.size != kStoredRecordSize) {
      reportLine("Record di lunghezza errata in opere.ddb, chiave " + describeKey(itemKey) +
                 ": ignorato");
      return;
    }
    const DecodedRecord record = DecodedRecord::fromScrambled(item.bytes(), key);
    if (handler) handler(record);
    dots.tick();
  };

  // Items are read many per step. A failed step leaves the cursor where it
  // was, so after a failure the walk goes on one item per step: every item
  // before the one that can't be read is handled, and the failure comes at
  // the same place, with the same dots, as in a walk of single steps.
  bdb::BulkItems items(kBulkGetBytes);
  bool bulk = true;
  int result = 0;
  for (;;) {
    if (bulk) {
      result = started ? cursor.nextBulk(items) : cursor.firstBulk(items);
      if (result == 0) {
        bdb::Item itemKey;
        bdb::Item item;
        while (items.next(itemKey, item)) handle(itemKey, item);
        continue;
      }
      if (result != bdb::kNotFound) {
        bulk = false;
        continue;
      }
    } else {
      bdb::Item itemKey;
      bdb::Item item;
      result = started ? cursor.next(itemKey, item) : cursor.first(itemKey, item);
      if (result == 0) {
        handle(itemKey, item);
        continue;
      }
    }
    break;
  }

  if (!started) fatalStop("Errore costruzione DB");
  if (result != bdb::kNotFound) fatalStop("Errore lettura opere.ddb");
  cursor.close();
  reportLine("");
}

}  // namespace indicizza
