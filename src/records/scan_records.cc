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

Status tryScanRecords(bdb::Database& database, const ScrambleKey& key, const RecordHandler& record,
                      const OddItemHandler& oddItem) {
  ItemWalk walk(database);
  bdb::Item itemKey;
  bdb::Item item;
  while (walk.next(itemKey, item)) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    if (item.size != kStoredRecordSize) {
      oddItem(itemKey, item.size);
      continue;
    }
    record(DecodedRecord::fromScrambled(item.bytes(), key));
  }
  return walk.status();
}

void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler) {
  ProgressCounter dots(kScanDotEvery);
  bool started = false;  // whether the first item has been read
  const auto nextItem = [&] {
    if (!started) {
      reportLine("");  // ends the line of load dots
      started = true;
    }
  };
  const Status scanned = tryScanRecords(
      database.handle, key,
      [&](const DecodedRecord& record) {
        nextItem();
        if (handler) handler(record);
        dots.tick();
      },
      [&](const bdb::Item& itemKey, std::size_t) {
        nextItem();
        reportLine("Record di lunghezza errata in opere.ddb, chiave " + describeKey(itemKey) +
                   ": ignorato");
      });
  switch (scanned.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kInterrupted: stopIfInterrupted(); break;
    case Status::Code::kNoHandle: fatalStop("Errore nella creazione del cursore");
    case Status::Code::kEmpty: fatalStop("Errore costruzione DB");
    case Status::Code::kReadFailed:
      // A first step that fails finds no first item, as an empty database.
      fatalStop(started ? "Errore lettura opere.ddb" : "Errore costruzione DB");
    default: fatalStop("Errore lettura opere.ddb");
  }
  reportLine("");
}

}  // namespace indicizza
