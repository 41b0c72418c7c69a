#include "records/load_records.h"

#include <algorithm>
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
  for (std::size_t i = kRecordKeySize; i-- > 0; keyBytes >>= 8) key[i] = static_cast<std::uint8_t>(keyBytes);
  return key;
}

// Stores the `count` whole records at the front of `batch`, in key order, the
// last of equal numbers winning, and writes one load dot per 200 records read
// (replaced ones included) as the puts succeed.
void storeBatch(DataDatabase& database, const std::uint8_t* batch, std::size_t count,
                const ScrambleKey& key, bdb::BulkPairs& pairs, ProgressCounter& dots) {
  const auto recordAt = [&](std::size_t place) {
    return std::span<const std::uint8_t, kRecordSize>(batch + place * kRecordSize, kRecordSize);
  };
  std::vector<PutOrder, LargeAllocator<PutOrder>> order(count);
  for (std::size_t place = 0; place < count; ++place) {
    order[place] = putOrderOf(scrambledRecordNumberOf(recordAt(place), key), place);
  }
  std::sort(order.begin(), order.end());

  std::size_t recordsPending = 0;  // records read whose put is in `pairs`
  const auto flush = [&] {
    storeRecords(database, pairs);
    for (; recordsPending > 0; --recordsPending) dots.tick();
  };
  std::size_t runBegin = 0;  // the first of the records with the current key
  for (std::size_t i = 0; i < count; ++i) {
    stopIfInterrupted();
    // Of equal keys only the last read is put.
    if (i + 1 < count && keyBytesOf(order[i + 1]) == keyBytesOf(order[i])) continue;
    const RecordKey recordKey = keyOfPutOrder(order[i]);
    const auto item = storedRecordBytes(recordAt(placeOf(order[i])));
    if (!pairs.add(recordKey, item)) {
      flush();
      pairs.add(recordKey, item);
    }
    recordsPending += i + 1 - runBegin;
    runBegin = i + 1;
  }
  flush();
}

}  // namespace

void loadRecords(RecordFile& file, DataDatabase& database, const ScrambleKey& key) {
  ProgressCounter dots(kLoadDotEvery);
  bdb::BulkPairs pairs(kBulkPutBytes);
  // Room for the whole file when it is smaller than a batch; only the pages
  // the file fills are ever touched. A pipe fills whole batches too.
  const auto remaining = remainingBytes(file);
  const std::size_t batchRecords =
      remaining ? std::min<std::uintmax_t>(kLoadBatchRecords, *remaining / kRecordSize + 1) : kLoadBatchRecords;
  const LargeBuffer batch(batchRecords * kRecordSize);
  for (;;) {
    const RecordBytesRead read = readRecords(file, std::span(batch.data(), batch.size()));
    storeBatch(database, batch.data(), read.size / kRecordSize, key, pairs, dots);
    // The scan that follows only reads: the disk can take the new pages
    // meanwhile, and the close after the scan then has little left to wait
    // for.
    database.handle.startWriteback();
    if (read.failed) fatalStop(kRecordFileReadFailed);
    if (read.size < batch.size()) {
      if (read.size % kRecordSize != 0) reportLine("Record con lunghezza diversa da quella stabilita");
      return;
    }
  }
}

}  // namespace indicizza
