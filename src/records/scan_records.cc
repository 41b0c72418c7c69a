#include "records/scan_records.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/hand_off.h"
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

// Items handed from the walk to the handlers at a time, and how many such
// blocks may be walked ahead of the handlers.
constexpr std::size_t kScanBlockItems = 4096;
constexpr std::size_t kScanBlocksAhead = 4;

// An item that is no whole record, with its place among the records of its
// block: it comes after the first `recordsBefore` of them.
struct OddItem {
  std::size_t recordsBefore;
  std::vector<std::uint8_t> key;
  std::size_t size;
};

// Items of the walk, in key order: the records descrambled, the odd items
// aside with their places.
struct ScanBlock {
  std::vector<DecodedRecord> records;
  std::vector<OddItem> oddItems;

  std::size_t items() const { return records.size() + oddItems.size(); }
  void clear() {
    records.clear();
    oddItems.clear();
  }
};

// The helper's half of the scan: walks the database and hands its items on
// in blocks. Every item before the walk's end is handed on before it
// returns the walk's status; kInterrupted gives up at once.
Status walkItems(bdb::Database& database, const ScrambleKey& key, HandOff<ScanBlock>& handOff) {
  ItemWalk walk(database);
  std::unique_ptr<ScanBlock> block = handOff.emptyBlock();
  if (!block) return {};
  block->records.reserve(kScanBlockItems);
  bdb::Item itemKey;
  bdb::Item item;
  while (walk.next(itemKey, item)) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    if (item.size != kStoredRecordSize) {
      block->oddItems.push_back(
          {block->records.size(), {itemKey.data, itemKey.data + itemKey.size}, item.size});
    } else {
      block->records.push_back(DecodedRecord::fromScrambled(item.bytes(), key));
    }
    if (block->items() == kScanBlockItems) {
      if (!handOff.passOn(block)) return {};
      block->records.reserve(kScanBlockItems);
    }
  }
  if (block->items() > 0) handOff.push(std::move(block));
  return walk.status();
}

}  // namespace

Status tryScanRecords(bdb::Database& database, const ScrambleKey& key, const RecordHandler& record,
                      const OddItemHandler& oddItem) {
  HandOff<ScanBlock> handOff(kScanBlocksAhead);
  HelperThread<ScanBlock> helper(handOff, [&] { return walkItems(database, key, handOff); });
  while (std::unique_ptr<ScanBlock> block = handOff.pop()) {
    auto odd = block->oddItems.begin();
    for (std::size_t i = 0;; ++i) {
      for (; odd != block->oddItems.end() && odd->recordsBefore == i; ++odd) {
        if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
        oddItem(bdb::Item{odd->key.data(), odd->key.size()}, odd->size);
      }
      if (i == block->records.size()) break;
      if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
      record(block->records[i]);
    }
    block->clear();
    handOff.giveBack(std::move(block));
  }
  return helper.finish();
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
