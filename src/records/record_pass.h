// The scan's work done in the load's pass: when the working copy of the
// data database is written as pages, the records stored are handed on as
// they are stored (see load_records.h), so nothing walks them back.
//
// The work is that of the scan (see scan_records.h), on two threads of its
// own beside the load's: one descrambles each record and prepares it, the
// other hands it, in key order, to the record handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/berkeley_db.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "input/scramble_key.h"
#include "records/scan_blocks.h"
#include "records/scan_records.h"

namespace indicizza {

// Stored records copied from one bulk put, scrambled, for the preparing
// thread.
struct StoredRecordsBlock {
  std::vector<std::uint8_t> bytes;  // kStoredRecordSize per record
};

// How many bulks of stored records may wait for the preparing thread.
inline constexpr std::size_t kStoredBlocksAhead = 4;

// The records of one load, prepared and handled as they are stored, in
// the order given. The handler runs on a thread of its own, one record at
// a time: what it changes must not be touched by others until finish()
// returns. Destroying the pass before finish() stops its threads and waits
// for them. Not copyable.
template <typename Prepared>
class RecordPass {
 public:
  // `prepare` and `handle` are called as in tryScanPrepared; the pass keeps
  // references to all three, which must outlive it.
  RecordPass(const ScrambleKey& key, const RecordPreparer<Prepared>& prepare,
             const PreparedRecordHandler<Prepared>& handle)
      : key_(key), prepare_(prepare), handle_(handle) {}
  ~RecordPass() {
    stored_.close();
    prepared_.close();
  }
  RecordPass(const RecordPass&) = delete;
  RecordPass& operator=(const RecordPass&) = delete;

  // Hands on a copy of the data of every pair of `records` (each a stored
  // record, kStoredRecordSize bytes). Waits while the threads are a few
  // bulks behind. False, the records dropped, once either thread has
  // stopped (finish() says why).
  bool take(const bdb::BulkPairs& records) {
    if (!preparer_) start();
    std::unique_ptr<StoredRecordsBlock> block = stored_.emptyBlock();
    if (!block) return false;
    block->bytes.clear();
    records.forEachPair([&](std::span<const std::uint8_t>, std::span<const std::uint8_t> data) {
      block->bytes.insert(block->bytes.end(), data.begin(), data.end());
      return true;
    });
    return stored_.push(std::move(block));
  }

  // Waits for every record taken to be handled, and for both threads to
  // end; `handled` gets how many records were. Gives kInterrupted when a
  // signal arrived before the last (see interruption.h), else ok; throws
  // what `prepare` or `handle` threw (the preparation's first).
  Status finish(std::size_t& handled) {
    stored_.close();
    std::exception_ptr failure;
    const auto end = [&](std::optional<HelperThread<ScanBlock<Prepared>>>& thread) {
      try {
        return thread ? thread->finish() : Status{};
      } catch (...) {
        if (!failure) failure = std::current_exception();
        return Status{};
      }
    };
    Status status = end(preparer_);
    const Status handling = end(handler_);
    if (failure) std::rethrow_exception(failure);
    if (status.ok()) status = handling;
    handled = handled_;
    return status;
  }

 private:
  void start() {
    preparer_.emplace(prepared_, [this] {
      try {
        Status prepared = prepareAll();
        stored_.close();
        return prepared;
      } catch (...) {
        stored_.close();
        throw;
      }
    });
    handler_.emplace(prepared_, [this] { return handleAll(); });
  }

  // The preparing thread: descrambles and prepares the records taken, in
  // blocks for the handling thread.
  Status prepareAll() {
    std::unique_ptr<ScanBlock<Prepared>> block = prepared_.emptyBlock();
    if (!block) return {};
    while (std::unique_ptr<StoredRecordsBlock> stored = stored_.pop()) {
      for (std::size_t at = 0; at + kStoredRecordSize <= stored->bytes.size();
           at += kStoredRecordSize) {
        if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
        addPreparedRecord({stored->bytes.data() + at, kStoredRecordSize}, key_, prepare_, block,
                          prepared_);
        if (block->items() == kScanBlockItems && !prepared_.passOn(block)) return {};
      }
      stored_.giveBack(std::move(stored));
    }
    if (block->items() > 0) prepared_.push(std::move(block));
    return {};
  }

  // The handling thread: each record to the handler, in order.
  Status handleAll() {
    while (std::unique_ptr<ScanBlock<Prepared>> block = prepared_.pop()) {
      for (std::size_t i = 0; i < block->records.size(); ++i) {
        if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
        handle_(block->records[i], block->prepared[i]);
        ++handled_;
      }
      block->clear();
      prepared_.giveBack(std::move(block));
    }
    return {};
  }

  const ScrambleKey& key_;
  const RecordPreparer<Prepared>& prepare_;
  const PreparedRecordHandler<Prepared>& handle_;
  HandOff<StoredRecordsBlock> stored_{kStoredBlocksAhead};
  HandOff<ScanBlock<Prepared>> prepared_{kScanBlocksAhead};
  std::size_t handled_ = 0;  // by the handling thread; read once it is over
  // Started by the first take(); destroyed before the hand-offs.
  std::optional<HelperThread<ScanBlock<Prepared>>> preparer_;
  std::optional<HelperThread<ScanBlock<Prepared>>> handler_;
};

// The end of the scan phase for records that went through `pass`: what
// scanPreparedRecords shows for the same records, once they are all
// handled (the scan dots together, at the end), with the same fatal stops:
// "Errore costruzione DB" when no record was stored, an interruption. When
// the pass had only the records put (DataDatabase::changesOnly), the dots
// are those of the `stored` records the data database holds. Gives how
// many records the dots count.
template <typename Prepared>
std::size_t endRecordPass(RecordPass<Prepared>& pass,
                          std::optional<std::size_t> stored = std::nullopt) {
  std::size_t handled = 0;
  Status passed = pass.finish(handled);
  const std::size_t records = stored.value_or(handled);
  if (passed.ok() && records == 0) passed = Status::failure(Status::Code::kEmpty);
  ScanReport report;
  if (records > 0) {
    report.recordStarts();
    report.recordsDone(records);
  }
  report.finish(passed);
  return records;
}

}  // namespace indicizza
