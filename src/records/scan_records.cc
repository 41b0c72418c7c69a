#include "records/scan_records.h"

#include <cstdio>
#include <string>

#include "base/console.h"
#include "base/interruption.h"
#include "base/item_walk.h"

namespace indicizza {
namespace {

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
  ProgressCounter dots(kScanDotEvery);
  bool started = false;  // whether the first item has been read
  const WalkEnd end = walkItems(database.handle, [&](const bdb::Item& itemKey, const bdb::Item& item) {
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
  });
  switch (end) {
    case WalkEnd::kComplete: break;
    case WalkEnd::kNoCursor: fatalStop("Errore nella creazione del cursore");
    case WalkEnd::kNoFirstItem: fatalStop("Errore costruzione DB");
    case WalkEnd::kBroken: fatalStop("Errore lettura opere.ddb");
  }
  reportLine("");
}

}  // namespace indicizza
