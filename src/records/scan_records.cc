#include "records/scan_records.h"

#include <cstdio>
#include <string>

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

// The preparer of a scan that prepares nothing.
void prepareNothing(const DecodedRecord&, NoPreparation&) {}

}  // namespace

Status tryScanRecords(bdb::Database& database, const ScrambleKey& key, const RecordHandler& record,
                      const OddItemHandler& oddItem) {
  return tryScanPrepared<NoPreparation>(
      database, key, prepareNothing,
      [&](const DecodedRecord& decoded, const NoPreparation&) { record(decoded); }, oddItem);
}

void ScanReport::firstItem() {
  if (!started_) {
    reportLine("");  // ends the line of load dots
    started_ = true;
  }
}

void ScanReport::oddItem(const bdb::Item& key) {
  firstItem();
  reportLine("Record di lunghezza errata in opere.ddb, chiave " + describeKey(key) + ": ignorato");
}

void ScanReport::finish(const Status& scanned) {
  switch (scanned.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kInterrupted: stopIfInterrupted(); break;
    case Status::Code::kNoHandle: fatalStop("Errore nella creazione del cursore");
    case Status::Code::kEmpty: fatalStop("Errore costruzione DB");
    case Status::Code::kReadFailed:
      // A first step that fails finds no first item, as an empty database.
      fatalStop(started_ ? "Errore lettura opere.ddb" : "Errore costruzione DB");
    default: fatalStop("Errore lettura opere.ddb");
  }
  reportLine("");
}

void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler) {
  scanPreparedRecords<NoPreparation>(database, key, prepareNothing,
                                     [&](const DecodedRecord& record, const NoPreparation&) {
                                       if (handler) handler(record);
                                     });
}

}  // namespace indicizza
