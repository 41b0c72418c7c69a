// The walk's half of the scan (see scan_records.h): the helper thread walks
// the data database, descrambles each record, prepares it, and hands the
// records on in blocks, in key order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "base/berkeley_db.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/item_walk.h"
#include "base/status.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"

namespace indicizza {

// Work done on each record on the walk's thread, ahead of the handler, so
// that both cores work: fills `prepared` from the record. `prepared` is a
// slot the scan reuses for later records: whatever it holds is to be
// overwritten (its capacity can be kept).
template <typename Prepared>
using RecordPreparer = std::function<void(const DecodedRecord&, Prepared&)>;

// What a scan that prepares nothing carries per record.
struct NoPreparation {};

// Items handed from the walk to the handlers at a time, and how many such
// blocks may be walked ahead of the handlers.
inline constexpr std::size_t kScanBlockItems = 4096;
inline constexpr std::size_t kScanBlocksAhead = 4;

// An item that is no whole record, with its place among the records of its
// block: it comes after the first `recordsBefore` of them.
struct OddItem {
  std::size_t recordsBefore;
  std::vector<std::uint8_t> key;
  std::size_t size;
};

// Items of the walk, in key order: the records descrambled, each with what
// the preparer made of it (prepared[i] for records[i]; slots beyond the
// records are spare), and the odd items aside with their places. Made with
// room for a whole block.
template <typename Prepared>
struct ScanBlock {
  ScanBlock() : prepared(kScanBlockItems) { records.reserve(kScanBlockItems); }

  std::vector<DecodedRecord> records;
  std::vector<Prepared> prepared;
  std::vector<OddItem> oddItems;

  std::size_t items() const { return records.size() + oddItems.size(); }
  // Keeps the prepared slots, so that what they hold is reused.
  void clear() {
    records.clear();
    oddItems.clear();
  }
};

// Descrambles the stored record `scrambled` into `block` and prepares it.
// When `prepare` throws, the block goes to `handOff` with the records before
// this one, and the exception goes on.
template <typename Prepared>
void addPreparedRecord(std::span<const std::uint8_t> scrambled, const ScrambleKey& key,
                       const RecordPreparer<Prepared>& prepare,
                       std::unique_ptr<ScanBlock<Prepared>>& block,
                       HandOff<ScanBlock<Prepared>>& handOff) {
  block->records.push_back(DecodedRecord::fromScrambled(scrambled, key));
  try {
    prepare(block->records.back(), block->prepared[block->records.size() - 1]);
  } catch (...) {
    block->records.pop_back();
    handOff.push(std::move(block));
    throw;
  }
}

// The helper's half of the scan: walks the database and hands its items on
// in blocks, each record prepared. Every item before the walk's end is
// handed on before it returns the walk's status; kInterrupted gives up at
// once. When `prepare` throws, the records before the one it failed on are
// handed on first, then the exception goes on.
template <typename Prepared>
Status walkItems(bdb::Database& database, const ScrambleKey& key,
                 const RecordPreparer<Prepared>& prepare, HandOff<ScanBlock<Prepared>>& handOff) {
  ItemWalk walk(database);
  std::unique_ptr<ScanBlock<Prepared>> block = handOff.emptyBlock();
  if (!block) return {};
  bdb::Item itemKey;
  bdb::Item item;
  while (walk.next(itemKey, item)) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    if (item.size != kStoredRecordSize) {
      block->oddItems.push_back(
          {block->records.size(), {itemKey.data, itemKey.data + itemKey.size}, item.size});
    } else {
      addPreparedRecord(item.bytes(), key, prepare, block, handOff);
    }
    if (block->items() == kScanBlockItems && !handOff.passOn(block)) return {};
  }
  if (block->items() > 0) handOff.push(std::move(block));
  return walk.status();
}

}  // namespace indicizza
