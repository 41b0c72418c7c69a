#include "records/record_rereads.h"

#include <algorithm>
#include <stdexcept>

#include "base/interruption.h"
#include "base/regular_file.h"
#include "input/record_layout.h"

namespace indicizza {
namespace {

// One small read per record costs the kernel about ten times what reading
// the file through in large pieces costs per record (0.95 s against 0.09 s
// of system time for 1,000,000 records in the page cache), so a file is
// read through once per slice when that reads at most this many of its
// records per record wanted: eight slices of a file of survivors alone,
// but one record in nine wanted is read one at a time.
constexpr std::size_t kPassRecordsPerSurvivor = 8;

// And so a pass reads the records of its slice in runs of places: it goes
// on through records it does not want while that costs less than a read of
// its own. A file kept in number order holds the records of a slice (a
// range of key order, which runs by the low byte of the number first) 32 in
// each 256 together: each pass reads its own eighth of the file, not all.
constexpr std::size_t kRecordsPerRead = 10;

// Calls `onRun(place, end)` for each run of places [place, end) to read for
// the records ranked in [first, first + count): each starts and ends with
// such a record, holds at most `pieceRecords`, and goes through fewer than
// kRecordsPerRead records in a row that are not; `onRun` returns false to
// stop.
template <typename OnRun>
void forEachRun(std::span<const std::uint32_t> ranks, std::uint32_t first, std::uint32_t count,
                std::size_t pieceRecords, OnRun onRun) {
  // Ranks before `first` wrap round to large numbers.
  const auto wanted = [&](std::size_t place) { return ranks[place] - first < count; };
  std::size_t place = 0;
  while (true) {
    while (place < ranks.size() && !wanted(place)) ++place;
    if (place == ranks.size()) return;
    std::size_t end = place + 1;
    for (std::size_t next = end; next < ranks.size() && next - place < pieceRecords; ++next) {
      if (wanted(next)) {
        end = next + 1;
      } else if (next + 1 - end >= kRecordsPerRead) {
        break;
      }
    }
    if (!onRun(place, end)) return;
    place = end;
  }
}

}  // namespace

Status readAtPlace(const RecordPlaces& file, std::uint64_t place, std::span<std::uint8_t> bytes) {
  return readFileAt(file.fd, static_cast<std::uint64_t>(file.start) + place * kRecordSize, bytes);
}

Status readSliceThrough(const RecordPlaces& file, std::span<const std::uint32_t> ranks,
                        std::uint32_t first, std::uint32_t count, std::span<std::uint8_t> piece,
                        std::uint8_t* slice) {
  const std::size_t pieceRecords = piece.size() / kRecordSize;
  if (pieceRecords == 0) throw std::logic_error("a piece smaller than a record");
  Status failed;
  forEachRun(ranks, first, count, pieceRecords, [&](std::size_t place, std::size_t end) {
    if (interruptionPending()) {
      failed = Status::failure(Status::Code::kInterrupted);
      return false;
    }
    failed = readAtPlace(file, place, piece.first((end - place) * kRecordSize));
    if (!failed.ok()) return false;
    for (std::size_t at = place; at < end; ++at) {
      const std::uint32_t inSlice = ranks[at] - first;
      if (inSlice >= count) continue;
      std::copy_n(piece.data() + (at - place) * kRecordSize, kStoredRecordSize,
                  slice + std::size_t{inSlice} * kStoredRecordSize);
    }
    return true;
  });
  return failed;
}

std::size_t rereadSliceRecords(std::size_t survivors, std::size_t sliceBytes) {
  const std::size_t most = sliceBytes / kStoredRecordSize;
  if (survivors == 0 || most == 0) return 0;
  const std::size_t passes = (survivors + most - 1) / most;
  return (survivors + passes - 1) / passes;
}

bool readingThroughCostsLess(std::span<const std::uint32_t> ranks, std::size_t survivors,
                             std::size_t sliceRecords, std::size_t pieceRecords) {
  if (sliceRecords == 0 || pieceRecords == 0) return false;
  // In records read through, a read of its own counting as kRecordsPerRead.
  const std::size_t most = kPassRecordsPerSurvivor * survivors;
  std::size_t cost = 0;
  for (std::size_t first = 0; first < survivors && cost <= most; first += sliceRecords) {
    forEachRun(ranks, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(sliceRecords),
               pieceRecords, [&](std::size_t place, std::size_t end) {
                 cost += kRecordsPerRead + (end - place);
                 return cost <= most;
               });
  }
  return cost <= most;
}

}  // namespace indicizza
