// Sorting record numbers quickly: an index entry list can hold a million
// of them, in the data database's key order (lowest byte first).
#pragma once

#include <vector>

#include "input/decoded_record.h"

namespace indicizza {

// Sorts `numbers` ascending (signed order) and removes repeats, in time
// linear in the count: numbers that cover a span at most 64 times their
// count are marked in a bitmap of the span and read back in order; others
// go through a least-significant-byte-first radix sort, one counting pass
// per byte that is not the same in every number.
void sortUnique(std::vector<RecordNumber>& numbers);

}  // namespace indicizza
