// The distinct terms of a scan, each stored once in one byte arena and found
// again through a flat open-addressing hash table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "run/large_memory.h"

namespace indicizza {

// Numbers distinct byte strings 0, 1, 2, ... in the order they are first
// interned. Owns copies of their bytes. Not thread-safe.
class TermTable {
 public:
  using TermId = std::uint32_t;

  TermTable();

  // The id of `term`, interning a copy of it when it is new. Throws
  // std::length_error when the table would hold more terms than a TermId
  // can number.
  TermId intern(std::string_view term);

  // The bytes of term `id` (< size()). Valid until the next intern().
  std::string_view text(TermId id) const {
    const std::size_t begin = id == 0 ? 0 : ends_[id - 1];
    return std::string_view(bytes_).substr(begin, ends_[id] - begin);
  }

  std::size_t size() const { return ends_.size(); }

 private:
  void grow();

  std::string bytes_;               // every term's bytes, back to back
  std::vector<std::size_t, LargeAllocator<std::size_t>> ends_;  // ends_[id]: one past the last byte of term id
  // A slot is 0 when empty, else (hash of the term) << 32 | (id + 1); the
  // hash is kept so most probes settle without touching the arena. At most
  // half of the slots are used.
  std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> slots_;
};

}  // namespace indicizza
