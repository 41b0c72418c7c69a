// Sorting record numbers quickly: an index entry list can hold a million
// of them, in the data database's key order (lowest byte first).
#pragma once

#include <vector>

#include "input/decoded_record.h"

namespace indicizza::catalogo {

// Sorts `numbers` ascending (signed order) and removes repeats. A
// least-significant-byte-first radix sort: one counting pass per byte that
// is not the same in every number, so linear in the count.
void sortUnique(std::vector<RecordNumber>& numbers);

}  // namespace indicizza::catalogo
