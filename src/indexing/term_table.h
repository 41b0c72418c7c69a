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
  // The second step of that: once the slot is in the cache, fetches the
  // bytes of the term it leads to (when its hash is `hash`), which intern()
  // compares.
  void prefetchTerm(std::uint32_t hash) const {
    const std::uint64_t slot = slots_[hash & (slots_.size() - 1)];
    if (slot >> kHashShift == hash) __builtin_prefetch(arena_.data() + (slot & kOffsetMask) - 1);
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
  // A slot is 0 when empty, else (hash of the term) << kHashShift | (arena
  // offset + 1).
  static constexpr int kHashShift = 32;
  static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kHashShift) - 1;

  static std::uint64_t slotOf(std::uint32_t hash, std::uint32_t offset);
  static std::uint32_t offsetOf(std::uint64_t slot);
  std::string_view textAt(std::uint32_t offset) const;
  TermId idAt(std::uint32_t offset) const;
  void grow();

  std::string arena_;
  LargeVector<std::uint32_t> offsets_;  // by id
  // See kHashShift. At most half of the slots are used.
  LargeVector<std::uint64_t> slots_;
};

}  // namespace indicizza
