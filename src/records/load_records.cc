#include "records/load_records.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/console.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/large_memory.h"
#include "records/record_rereads.h"

namespace indicizza {
namespace {

// A record number is read from six characters: from "-99999" to "999999".
constexpr RecordNumber kLowestRecordNumber = -99999;
constexpr RecordNumber kHighestRecordNumber = 999999;
constexpr std::size_t kNumberSlots =
    static_cast<std::size_t>(kHighestRecordNumber - kLowestRecordNumber) + 1;

// The file is read this many records at a time: a piece small enough to
// stay in the processor's cache while its record numbers are read (a
// megabyte at a time made reading 10,000,000 records a second slower).
constexpr std::size_t kReadPieceRecords = 256;
constexpr std::size_t kReadPieceBytes = kReadPieceRecords * kRecordSize;
// Records read from a pipe are kept in blocks of this many, a whole number
// of pieces.
constexpr std::size_t kKeptBlockRecords = 2048;
static_assert(kKeptBlockRecords % kReadPieceRecords == 0);

// Size of one bulk put (a few thousand records), and how many of them may be
// gathered ahead of the puts: enough for the puts to go on while the file is
// read through for the next slice of records (a tenth of a second or so for
// a million records), 32 MiB in all.
constexpr std::size_t kRecordPutBytes = std::size_t{2} << 20;
constexpr std::size_t kRecordPutBlocksAhead = 16;
// When the records are handed on (see StoredRecords), the word index grows
// while they are read again: the records are then read again in slices of
// at most this much (eight passes through a file of 1,000,000 records, a
// fifth of a second of system time each), and pages are written so much
// faster than puts are made that a few bulks gathered ahead are enough.
constexpr std::size_t kHandedOnRereadSliceBytes = std::size_t{64} << 20;
constexpr std::size_t kHandedOnPutBlocksAhead = 4;

// For each record number, where the last record read with it is and how many
// records read carry it: one slot per number the field can hold, so that the
// last record of each number is found in one pass, with no sort.
struct NumberSlot {
  std::uint64_t place = 0;  // the record's place in the file plus one; 0 when none
  std::uint64_t records = 0;
};
using NumberTable = LargeVector<NumberSlot>;

std::size_t slotIndexOf(RecordNumber number) {
  if (number < kLowestRecordNumber || number > kHighestRecordNumber)
    throw std::logic_error("record number out of its field's range");
  return static_cast<std::size_t>(number - kLowestRecordNumber);
}
NumberSlot& slotOf(NumberTable& table, RecordNumber number) { return table[slotIndexOf(number)]; }
const NumberSlot& slotOf(const NumberTable& table, RecordNumber number) {
  return table[slotIndexOf(number)];
}

// The records read, for the puts: read again from the file when it is a
// regular file, kept in memory as read otherwise (a pipe can't be read
// twice). Not copyable.
class ReadRecords {
 public:
  explicit ReadRecords(RecordFile& file) {
    kept_ = !remainingBytes(file).has_value();
    const long position = std::ftell(file.stream());
    places_ = {fileno(file.stream()), position < 0 ? 0 : static_cast<off_t>(position)};
    if (!kept_) readPiece_ = std::make_unique<LargeBuffer>(kReadPieceBytes);
  }
  ReadRecords(const ReadRecords&) = delete;
  ReadRecords& operator=(const ReadRecords&) = delete;

  // Where the next piece of the file is to be read to. Only the last piece
  // read may be short.
  std::uint8_t* nextPiece() {
    if (!kept_) return readPiece_->data();
    const std::size_t inBlock = keptRecords_ % kKeptBlockRecords;
    if (inBlock == 0)
      keptBlocks_.push_back(std::make_unique<LargeBuffer>(kKeptBlockRecords * kRecordSize));
    keptRecords_ += kReadPieceRecords;
    return keptBlocks_.back()->data() + inBlock * kRecordSize;
  }

  // False when the records read are kept in memory (a pipe): then only
  // storedBytes() reads them again.
  bool canReadThrough() const { return !kept_; }

  // The stored bytes of the record at `place`. Fails with kReadFailed.
  Status storedBytes(std::uint64_t place, std::array<std::uint8_t, kStoredRecordSize>& bytes) {
    if (kept_) {
      const std::uint8_t* record = keptBlocks_[place / kKeptBlockRecords]->data() +
                                   (place % kKeptBlockRecords) * kRecordSize;
      std::copy(record, record + kStoredRecordSize, bytes.begin());
      return {};
    }
    return readAtPlace(places_, place, bytes);
  }

  // readSliceThrough over the file. Requires canReadThrough().
  Status readThrough(std::span<const std::uint32_t> ranks, std::uint32_t first, std::uint32_t count,
                     std::uint8_t* slice) {
    return readSliceThrough(places_, ranks, first, count,
                            std::span(readPiece_->data(), kReadPieceBytes), slice);
  }

 private:
  RecordPlaces places_;
  bool kept_ = false;
  std::unique_ptr<LargeBuffer> readPiece_;
  std::vector<std::unique_ptr<LargeBuffer>> keptBlocks_;
  std::size_t keptRecords_ = 0;  // the room handed out in keptBlocks_
};

// Reads the file to its end (or to a read error, whose Status is `read`),
// noting the last record of each number. Fails with kInterrupted.
Status readAll(RecordFile& file, const ScrambleKey& key, ReadRecords& records, NumberTable& table,
               Status& read, bool& shortFinalRecord) {
  std::uint64_t place = 0;
  for (;;) {
    std::uint8_t* block = records.nextPiece();
    std::size_t size = 0;
    read = readRecords(file, std::span(block, kReadPieceBytes), size);
    for (std::size_t i = 0; i < size / kRecordSize; ++i, ++place) {
      if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
      const std::span<const std::uint8_t, kRecordSize> record(block + i * kRecordSize, kRecordSize);
      NumberSlot& slot = slotOf(table, scrambledRecordNumberOf(record, key));
      slot.place = place + 1;
      ++slot.records;
    }
    if (!read.ok()) return {};
    if (size < kReadPieceBytes) {
      shortFinalRecord = size % kRecordSize != 0;
      return {};
    }
  }
}

// One bulk put of the records that survive, and how many records read they
// stand for (the replaced ones included).
struct PutBlock {
  bdb::BulkPairs pairs{kRecordPutBytes};
  std::size_t recordsRead = 0;
};

// The high two bytes of a key, (byte 2, byte 3), that a number of the
// field's range can have, in ascending byte order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> highKeyBytes() {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> high;
  for (std::uint32_t byte2 = 0; byte2 < 256; ++byte2) {
    for (const std::uint32_t byte3 : {0x00u, 0xFFu}) {
      const std::uint32_t bits = (byte3 << 24) | (byte2 << 16);
      const auto lowest = static_cast<RecordNumber>(bits);
      const auto highest = static_cast<RecordNumber>(bits | 0xFFFFu);
      if (highest >= kLowestRecordNumber && lowest <= kHighestRecordNumber)
        high.emplace_back(byte2, byte3);
    }
  }
  return high;
}

// Calls `visit(number, slot)` for each number that has a record, in
// key-byte order (the B-tree compares keys as unsigned bytes, the record
// number's lowest byte first), until a call returns false.
template <typename Visit>
void forEachSurvivor(const NumberTable& table, Visit&& visit) {
  const auto high = highKeyBytes();
  for (std::uint32_t low = 0; low < 0x10000; ++low) {
    // Key bytes 0 and 1: the number's lowest byte first.
    const std::uint32_t lowBits = ((low & 0xFFu) << 8) | (low >> 8);
    for (const auto& [byte2, byte3] : high) {
      const auto number = static_cast<RecordNumber>((byte3 << 24) | (byte2 << 16) | lowBits);
      if (number < kLowestRecordNumber || number > kHighestRecordNumber) continue;
      const NumberSlot& slot = slotOf(table, number);
      if (slot.place != 0 && !visit(number, slot)) return;
    }
  }
}

// How many numbers of a table have a record that survives, and how many
// records of the file it noted in all.
struct TableCounts {
  std::size_t survivors = 0;
  std::size_t fileRecords = 0;
};
TableCounts countsOf(const NumberTable& table) {
  TableCounts counts;
  for (const NumberSlot& slot : table) {
    counts.survivors += slot.place != 0;
    counts.fileRecords += slot.records;
  }
  return counts;
}

// The stored bytes of the records that survive, asked for one by one in
// key order. From a regular file they are read in slices (see
// kRereadSliceBytes) when that is cheaper and the memory for a slice can be
// had, else one by one at their places. Not copyable.
class SurvivorBytes {
 public:
  // `counts` are those of `table`.
  SurvivorBytes(ReadRecords& records, const NumberTable& table, const TableCounts& counts,
                std::size_t sliceBytes)
      : records_(records) {
    if (!records.canReadThrough()) return;
    const std::size_t survivors = counts.survivors;
    const std::size_t fileRecords = counts.fileRecords;
    const std::size_t sliceRecords = rereadSliceRecords(survivors, sliceBytes);
    if (sliceRecords == 0) return;
    try {
      ranks_.assign(fileRecords, kNoRank);
      // The rank in key order of the survivor at each place of the file.
      std::uint32_t rank = 0;
      forEachSurvivor(table, [&](RecordNumber, const NumberSlot& slot) {
        ranks_[slot.place - 1] = rank++;
        return true;
      });
      if (!readingThroughCostsLess(ranks_, survivors, sliceRecords, kReadPieceRecords)) {
        ranks_ = {};
        return;
      }
      slice_ = std::make_unique<LargeBuffer>(sliceRecords * kStoredRecordSize);
      sliceRecords_ = sliceRecords;
    } catch (const std::bad_alloc&) {
      // Short of memory: one read per survivor needs none.
      ranks_ = {};
    }
  }
  SurvivorBytes(const SurvivorBytes&) = delete;
  SurvivorBytes& operator=(const SurvivorBytes&) = delete;

  // Points `bytes` at the kStoredRecordSize bytes of the next survivor in
  // key order, which is at `place`; valid until the next call. Fails with
  // kReadFailed or kInterrupted.
  Status next(std::uint64_t place, const std::uint8_t*& bytes) {
    if (sliceRecords_ == 0) {
      bytes = one_.data();
      return records_.storedBytes(place, one_);
    }
    const std::size_t inSlice = rank_ % sliceRecords_;
    if (inSlice == 0) {
      const auto count = static_cast<std::uint32_t>(sliceRecords_);
      Status read = records_.readThrough(ranks_, rank_, count, slice_->data());
      if (!read.ok()) return read;
    }
    ++rank_;
    bytes = slice_->data() + inSlice * kStoredRecordSize;
    return {};
  }

 private:
  ReadRecords& records_;
  std::size_t sliceRecords_ = 0;      // 0: one read per survivor
  LargeVector<std::uint32_t> ranks_;  // by place
  std::unique_ptr<LargeBuffer> slice_;
  std::uint32_t rank_ = 0;  // of the next survivor
  std::array<std::uint8_t, kStoredRecordSize> one_{};
};

// Whether the load gives `handOn` the records it stores: when they go into
// pages, or when only they are to be read into terms.
bool handsOn(const StoredRecords& handOn, const DataDatabase& database) {
  return handOn && (database.pages.isOpen() || database.changesOnly);
}

// The helper's half of the puts: gathers the surviving records in key-byte
// order into bulk puts for the phase's thread. Fails with kReadFailed or
// kInterrupted.
Status gatherSurvivors(ReadRecords& records, const NumberTable& table, const TableCounts& counts,
                       std::size_t sliceBytes, HandOff<PutBlock>& handOff) {
  std::unique_ptr<PutBlock> block = handOff.emptyBlock();
  if (!block) return {};
  SurvivorBytes survivors(records, table, counts, sliceBytes);
  Status failed;
  forEachSurvivor(table, [&](RecordNumber number, const NumberSlot& slot) {
    if (interruptionPending()) {
      failed = Status::failure(Status::Code::kInterrupted);
      return false;
    }
    const std::uint8_t* data = nullptr;
    failed = survivors.next(slot.place - 1, data);
    if (!failed.ok()) return false;
    const std::span<const std::uint8_t> bytes(data, kStoredRecordSize);
    const RecordKey recordKey = recordKeyOf(number);
    if (!block->pairs.add(recordKey, bytes)) {
      if (!handOff.passOn(block)) return false;
      block->pairs.add(recordKey, bytes);
    }
    block->recordsRead += slot.records;
    return true;
  });
  if (!failed.ok()) return failed;
  if (block && block->pairs.count() > 0) handOff.push(std::move(block));
  return {};
}

}  // namespace

Status tryLoadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                      const StoredCount& stored, bool& shortFinalRecord,
                      const StoredRecords& handOn, std::size_t rereadSliceBytes) {
  shortFinalRecord = false;
  ReadRecords records(file);
  NumberTable table(kNumberSlots);
  Status read;
  const Status readOver = readAll(file, key, records, table, read, shortFinalRecord);
  if (!readOver.ok()) return readOver;
  // The working copy has been in the making meanwhile.
  Status ready = tryReadyForLoad(database);
  if (!ready.ok()) return ready;
  const TableCounts counts = countsOf(table);
  // Past a share of the records stored, reading them all again costs less
  // than reading the replaced ones as they were, and holding them.
  database.changesOnly = copiedFromIndexed(database) &&
                         counts.survivors <= database.indexedRecords / kChangesOnlyShare;

  // Records handed on build the word index while they are read again, so
  // that less memory is left for reading them again.
  const bool handingOn = handsOn(handOn, database);
  const std::size_t sliceBytes =
      handingOn ? std::min(rereadSliceBytes, kHandedOnRereadSliceBytes) : rereadSliceBytes;
  HandOff<PutBlock> handOff(handingOn ? kHandedOnPutBlocksAhead : kRecordPutBlocksAhead);
  HelperThread<PutBlock> helper(
      handOff, [&] { return gatherSurvivors(records, table, counts, sliceBytes, handOff); });
  while (std::unique_ptr<PutBlock> block = handOff.pop()) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    if (database.changesOnly) {
      Status noted = tryNoteEarlierVersions(database, block->pairs, database.earlier);
      if (!noted.ok()) return noted;
    }
    Status put = tryStoreRecords(database, block->pairs);
    if (!put.ok()) return put;
    if (handingOn && !handOn(block->pairs)) return {};
    block->pairs.clear();
    stored(std::exchange(block->recordsRead, 0));
    handOff.giveBack(std::move(block));
  }
  Status gathered = helper.finish();
  if (!gathered.ok()) return gathered;
  // The scan that follows only reads: the disk can take the new pages
  // meanwhile, and the close after the scan then has little left to wait
  // for.
  startWriteback(database.pages, database.handle);
  return read;
}

bool loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                 const StoredRecords& handOn) {
  ProgressCounter dots(kLoadDotEvery);
  bool shortFinalRecord = false;
  const Status loaded = tryLoadRecords(
      file, database, key, [&](std::size_t records) { dots.tick(records); }, shortFinalRecord,
      handOn);
  // Until the working copy is open, a failure is the copy's.
  if (!loaded.ok() && loaded.code() != Status::Code::kInterrupted && !isReadyForLoad(database)) {
    stopOnUnreadyCopy(loaded);
  }
  switch (loaded.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kInterrupted: stopIfInterrupted(); break;
    case Status::Code::kReadFailed: fatalStop(kRecordFileReadFailed);
    case Status::Code::kDamaged: fatalStop("Errore lettura opere.ddb");
    default: fatalStop("put error");
  }
  if (shortFinalRecord) reportLine("Record con lunghezza diversa da quella stabilita");
  return handsOn(handOn, database);
}

}  // namespace indicizza
