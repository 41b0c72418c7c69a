// Reading the records of a regular record file again, after a first read
// through it: one at a time at their places, or a slice of them in another
// order by reading the file through once more.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "base/status.h"

namespace indicizza {

// Where the records of a regular file lie: an open descriptor, not owned,
// and the offset of the first record (a record's place is its number in the
// file from 0).
struct RecordPlaces {
  int fd = -1;
  off_t start = 0;
};

// Fills `bytes` with the file's bytes from the record at `place` on. Fails
// with kReadFailed, also when the file ends first (it shrank since it was
// read).
Status readAtPlace(const RecordPlaces& file, std::uint64_t place, std::span<std::uint8_t> bytes);

// Marks a place whose record is no one's in readSliceThrough.
inline constexpr std::uint32_t kNoRank = std::numeric_limits<std::uint32_t>::max();

// Reads the first `ranks.size()` records of the file again, in runs of at
// most `piece.size()` bytes (a whole number of records) that leave out what
// no record of the slice is in (see forEachRun), and copies the stored bytes
// (kStoredRecordSize) of each record whose rank, ranks[place], is in
// [first, first + count) to slice[rank - first]. `slice` holds `count`
// stored records. Looks for an interruption before each piece. Fails with
// kReadFailed (read error, or the file shrank since it was first read) or
// kInterrupted; the slice is then partly written.
Status readSliceThrough(const RecordPlaces& file, std::span<const std::uint32_t> ranks,
                        std::uint32_t first, std::uint32_t count, std::span<std::uint8_t> piece,
                        std::uint8_t* slice);

// How many of `survivors` records to read again at once with
// readSliceThrough when at most `sliceBytes` may hold them: all of them when
// they fit, else as few slices of equal size as fit; 0 when not even one
// record fits.
std::size_t rereadSliceRecords(std::size_t survivors, std::size_t sliceBytes);

// Whether reading the `survivors` ranked in `ranks` (by place, as for
// readSliceThrough) again in slices of `sliceRecords`, runs of at most
// `pieceRecords`, costs less than one read per survivor at its place: about
// eight passes over a file in no order, many more over one in number order,
// whose slices each lie in a share of it.
bool readingThroughCostsLess(std::span<const std::uint32_t> ranks, std::size_t survivors,
                             std::size_t sliceRecords, std::size_t pieceRecords);

}  // namespace indicizza
