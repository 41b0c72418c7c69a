// The scan phase: every stored record back out of the data database, in key
// order, descrambled and handed to a record handler.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "base/berkeley_db.h"
#include "base/console.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "records/data_database.h"
#include "records/scan_blocks.h"

namespace indicizza {

// Called once per stored record with its descrambled bytes; the record lives
// only for the call.
using RecordHandler = std::function<void(const DecodedRecord&)>;

// Called once per stored record, on the scan's thread, with the record and
// what the preparer (see scan_blocks.h) made of it; both live only for the
// call.
template <typename Prepared>
using PreparedRecordHandler = std::function<void(const DecodedRecord&, const Prepared&)>;

// Called once per stored item that is no whole record (its data is not 524
// bytes long), with its key (valid only for the call) and its data's size.
using OddItemHandler = std::function<void(const bdb::Item& key, std::size_t size)>;

// The silent core of the scan: walks `database` (open) in key order with an
// ItemWalk (see item_walk.h) on a helper thread, which descrambles a copy of
// each item of 524 bytes and calls `prepare` on it; on the calling thread, in
// key order, calls `record` for each of them and `oddItem` for any other
// item. The helper is done with `database` when this returns, however it
// returns. Returns the walk's status: ok, kNoHandle, kEmpty, kReadFailed or
// kDamaged; or kInterrupted when a signal arrives (see interruption.h; looked
// at before each item). An exception from a handler or from `prepare` ends
// the walk and goes on to the caller, after the records prepared before it
// are handled.
template <typename Prepared>
Status tryScanPrepared(bdb::Database& database, const ScrambleKey& key,
                       const RecordPreparer<Prepared>& prepare,
                       const PreparedRecordHandler<Prepared>& record,
                       const OddItemHandler& oddItem) {
  HandOff<ScanBlock<Prepared>> handOff(kScanBlocksAhead);
  HelperThread<ScanBlock<Prepared>> helper(
      handOff, [&] { return walkItems<Prepared>(database, key, prepare, handOff); });
  while (std::unique_ptr<ScanBlock<Prepared>> block = handOff.pop()) {
    auto odd = block->oddItems.begin();
    for (std::size_t i = 0;; ++i) {
      for (; odd != block->oddItems.end() && odd->recordsBefore == i; ++odd) {
        if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
        oddItem(bdb::Item{odd->key.data(), odd->key.size()}, odd->size);
      }
      if (i == block->records.size()) break;
      if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
      record(block->records[i], block->prepared[i]);
    }
    block->clear();
    handOff.giveBack(std::move(block));
  }
  return helper.finish();
}

// tryScanPrepared with nothing prepared.
Status tryScanRecords(bdb::Database& database, const ScrambleKey& key, const RecordHandler& record,
                      const OddItemHandler& oddItem);

// What the scan phase shows, around its silent core: the end of the line of
// load dots once the first item is read, a dot every 100 records, a line for
// each odd item, and the verdict. Not copyable.
class ScanReport {
 public:
  ScanReport() = default;
  ScanReport(const ScanReport&) = delete;
  ScanReport& operator=(const ScanReport&) = delete;

  // Before a record is handled.
  void recordStarts() { firstItem(); }
  // After a record is handled: counts it.
  void recordDone() { dots_.tick(); }
  // After `records` records are handled at once.
  void recordsDone(std::size_t records) { dots_.tick(records); }
  // An item that is no whole record: reported with a line naming its key.
  void oddItem(const bdb::Item& key);
  // Ends the phase on the core's status: the fatal stops below, or the line
  // end of the scan dots.
  void finish(const Status& scanned);

 private:
  void firstItem();

  ProgressCounter dots_{kScanDotEvery};
  bool started_ = false;  // whether the first item has been read
};

// The scan phase over tryScanPrepared. For each record: calls `handler`,
// writes a scan dot every 100 records. Items of any other size are reported
// with a line naming their key and skipped (not handled, not counted).
//
// Fatal stops: "Errore nella creazione del cursore" when no cursor can be
// made; "Errore costruzione DB" when there is no first item (an empty
// database, or a first step that fails); "Errore lettura opere.ddb" when a
// later step fails, or the walk finds the file damaged (see item_walk.h); an
// interruption (see interruption.h). The line of load dots is ended once the
// first item is read; the line of scan dots at the end. Items are read in
// bulk, which changes none of this. Gives how many items were skipped.
template <typename Prepared>
std::size_t scanPreparedRecords(DataDatabase& database, const ScrambleKey& key,
                                const RecordPreparer<Prepared>& prepare,
                                const PreparedRecordHandler<Prepared>& handler) {
  ScanReport report;
  std::size_t skipped = 0;
  const Status scanned = tryScanPrepared<Prepared>(
      database.handle, key, prepare,
      [&](const DecodedRecord& record, const Prepared& prepared) {
        report.recordStarts();
        handler(record, prepared);
        report.recordDone();
      },
      [&](const bdb::Item& itemKey, std::size_t) {
        report.oddItem(itemKey);
        ++skipped;
      });
  report.finish(scanned);
  return skipped;
}

// scanPreparedRecords with nothing prepared; `handler` may be empty.
void scanRecords(DataDatabase& database, const ScrambleKey& key, const RecordHandler& handler);

}  // namespace indicizza
