// The one probe loop of the program's hash tables (the stop words, the terms
// of a scan, the terms of one record): open addressing with linear probing.
//
// A table is a power-of-two array of slots (a std::vector or std::array of
// integers); a slot equal to zero is empty, and what any other slot holds (an index, a hash, an
// offset) is the table's own business. A table keeps at least one slot empty, so that every probe
// ends; how full it may grow, and how it grows, is up to it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace indicizza {

// The index of the slot that `matches(slot)` accepts, probing from the slot
// `hash` selects onwards; or, when the probe meets an empty slot first, the
// index of that empty slot (where the sought entry would go). `slots` must
// not be empty and must hold an empty slot.
template <typename Slots, typename Matches>
inline std::size_t probeSlot(const Slots& slots, std::uint32_t hash, Matches&& matches) {
  using Slot = typename Slots::value_type;
  const std::size_t mask = slots.size() - 1;
  std::size_t i = hash & mask;
  while (slots[i] != Slot{} && !matches(slots[i])) i = (i + 1) & mask;
  return i;
}

// The index of the first empty slot from the one `hash` selects onwards: the
// place of an entry known not to be in the table yet.
template <typename Slots>
inline std::size_t probeEmptySlot(const Slots& slots, std::uint32_t hash) {
  return probeSlot(slots, hash, [](typename Slots::value_type) { return false; });
}

}  // namespace indicizza
