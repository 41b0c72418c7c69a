#include "records/load_records.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/console.h"
#include "base/interruption.h"
#include "base/large_memory.h"

namespace indicizza {
namespace {

// Records are read in batches of up to this many (about 550 MB); each batch
// is put in ascending key order, which writes the B-tree front to back
// instead of all over.
constexpr std::size_t kLoadBatchRecords = std::size_t{1} << 20;

// Size of one bulk put (a few thousand records).
constexpr std::size_t kBulkPutBytes = std::size_t{2} << 20;

// A record's place in a batch, ordered by the bytes of its key and then by
// its place: the B-tree compares keys as unsigned bytes, and the bytes of a
// little-endian key read as a big-endian number are the byte-swapped record
// number.
using PutOrder = std::uint64_t;
constexpr int kKeyShift = 32;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kKeyShift) - 1;

PutOrder putOrderOf(RecordNumber number, std::size_t place) {
  const RecordKey key = recordKeyOf(number);
  std::uint64_t keyBytes = 0;
  for (const std::uint8_t byte : key) keyBytes = (keyBytes << 8) | byte;
  return (keyBytes << kKeyShift) | place;
}

std::size_t placeOf(PutOrder order) { return static_cast<std::size_t>(order & kPlaceMask); }
std::uint64_t keyBytesOf(PutOrder order) { return order >> kKeyShift; }

RecordKey keyOfPutOrder(PutOrder order) {
  std::uint64_t keyBytes = keyBytesOf(order);
  RecordKey key;
  for (std::size_t i = kRecordKeySize; i-- > 0; keyBytes >>= 8)
    key[i] = static_cast<std::uint8_t>(keyBytes);
  return key;
}

// Stores the `count` whole records at the front of `batch`, in key order, the
// last of equal numbers winning, telling `stored` of each bulk put.
Status storeBatch(DataDatabase& database, const std::uint8_t* batch, std::size_t count,
                  const ScrambleKey& key, bdb::BulkPairs& pairs, const StoredCount& stored) {
  const auto recordAt = [&](std::size_t place) {
    return std::span<const std::uint8_t, kRecordSize>(batch + place * kRecordSize, kRecordSize);
  };
  std::vector<PutOrder, LargeAllocator<PutOrder>> order(count);
  for (std::size_t place = 0; place < count; ++place) {
    order[place] = putOrderOf(scrambledRecordNumberOf(recordAt(place), key), place);
  }
  std::sort(order.begin(), order.end());
  // The working copy has been in the making meanwhile.
  Status ready = tryReadyForLoad(database);
  if (!ready.ok()) return ready;

  std::size_t recordsPending = 0;  // records read whose put is in `pairs`
  const auto flush = [&] {
    Status put = tryStoreRecords(database, pairs);
    if (put.ok()) stored(std::exchange(recordsPending, 0));
    return put;
  };
  std::size_t runBegin = 0;  // the first of the records with the current key
  for (std::size_t i = 0; i < count; ++i) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    // Of equal keys only the last read is put.
    if (i + 1 < count && keyBytesOf(order[i + 1]) == keyBytesOf(order[i])) continue;
    const RecordKey recordKey = keyOfPutOrder(order[i]);
    const auto item = storedRecordBytes(recordAt(placeOf(order[i])));
    if (!pairs.add(recordKey, item)) {
      Status put = flush();
      if (!put.ok()) return put;
      pairs.add(recordKey, item);
    }
    recordsPending += i + 1 - runBegin;
    runBegin = i + 1;
  }
  return flush();
}

}  // namespace

Status tryLoadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key,
                      const StoredCount& stored, bool& shortFinalRecord) {
  shortFinalRecord = false;
  bdb::BulkPairs pairs(kBulkPutBytes);
  // Room for the whole file when it is smaller than a batch; only the pages
  // the file fills are ever touched. A pipe fills whole batches too.
  const auto remaining = remainingBytes(file);
  const std::size_t batchRecords =
      remaining ? std::min<std::uintmax_t>(kLoadBatchRecords, *remaining / kRecordSize + 1)
                : kLoadBatchRecords;
  const LargeBuffer batch(batchRecords * kRecordSize);
  for (;;) {
    std::size_t size = 0;
    const Status read = readRecords(file, std::span(batch.data(), batch.size()), size);
    Status put = storeBatch(database, batch.data(), size / kRecordSize, key, pairs, stored);
    if (!put.ok()) return put;
    // The scan that follows only reads: the disk can take the new pages
    // meanwhile, and the close after the scan then has little left to wait
    // for.
    database.handle.startWriteback();
    if (!read.ok()) return read;
    if (size < batch.size()) {
      shortFinalRecord = size % kRecordSize != 0;
      return {};
    }
  }
}

void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key) {
  ProgressCounter dots(kLoadDotEvery);
  bool shortFinalRecord = false;
  const Status loaded = tryLoadRecords(
      file, database, key, [&](std::size_t records) { dots.tick(records); }, shortFinalRecord);
  // Until the working copy is open, a failure is the copy's.
  if (!loaded.ok() && loaded.code() != Status::Code::kInterrupted && !database.handle.isOpen()) {
    stopOnUnreadyCopy(loaded);
  }
  switch (loaded.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kInterrupted: stopIfInterrupted(); break;
    case Status::Code::kReadFailed: fatalStop(kRecordFileReadFailed);
    default: fatalStop("put error");
  }
  if (shortFinalRecord) reportLine("Record con lunghezza diversa da quella stabilita");
}

}  // namespace indicizza
