// The distinct terms of a scan, each stored once in one byte arena and found
// again through a flat open-addressing hash table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_hash.h"
#include "base/large_memory.h"

namespace indicizza {

// Numbers distinct byte strings 0, 1, 2, ... in the order they are first
// interned. Owns copies of their bytes. Not thread-safe.
class TermTable {
 public:
  using TermId = std::uint32_t;

  TermTable();

  // The id of `term`, interning a copy of it when it is new. Throws
  // std::length_error when the terms' bytes pass 4 GiB.
  TermId intern(std::string_view term) { return intern(term, hashBytes(term)); }

  // The same with the term's hash already computed (hashBytes). Looking up
  // many terms is faster when their slots are first fetched into the cache
  // (prefetch) and then interned one by one.
  void prefetch(std::uint32_t hash) const {
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  }
  TermId intern(std::string_view term, std::uint32_t hash);

  // The bytes of term `id` (< size()). Valid until the next intern().
  std::string_view text(TermId id) const { return textAt(offsets_[id]); }

  std::size_t size() const { return offsets_.size(); }

 private:
  // Each term is kept in the arena as its id and its length (4 bytes each,
  // native order) followed by its bytes, so a probe that finds its hash
  // reads one place of the arena to settle.
  static constexpr std::size_t kIdBytes = 4;
  static constexpr std::size_t kLengthBytes = 4;
  static constexpr std::size_t kHeaderBytes = kIdBytes + kLengthBytes;

  std::string_view textAt(std::uint32_t offset) const;
  TermId idAt(std::uint32_t offset) const;
  void grow();

  std::string arena_;
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> offsets_;  // by id
  // A slot is 0 when empty, else (hash of the term) << 32 | (arena offset +
  // 1). At most half of the slots are used.
  std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> slots_;
};

}  // namespace indicizza
