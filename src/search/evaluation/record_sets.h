// Record lists as the index gives them (ascending record numbers, each
// once) and the set operations a query's evaluation makes of them. Lists
// are shared, not copied: the list of a common word holds about one number
// per record of the catalogue.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "input/decoded_record.h"

namespace indicizza {

using Numbers = std::vector<RecordNumber>;
using SharedNumbers = std::shared_ptr<const Numbers>;

// One index key a query term stands for, with the records listed under it.
struct KeyRecords {
  std::string key;
  SharedNumbers records;  // ascending
};

// The bits of one word of a bitmap of record numbers.
inline constexpr std::uint64_t kWordBits = 64;

// The union of ascending lists, ascending and each number once, made
// without gathering the lists' numbers in one place first: each is marked
// in a bitmap of the span they cover, or, for a span too wide, merged in
// order through a heap of the lists' heads. One list is given back as it is.
SharedNumbers unionOf(const std::vector<SharedNumbers>& lists);

// The numbers of both ascending lists, and those of `a` that `b` lacks.
SharedNumbers intersectionOf(const SharedNumbers& a, const SharedNumbers& b);
SharedNumbers differenceOf(const SharedNumbers& a, const SharedNumbers& b);

}  // namespace indicizza
