#include "indexing/term_table.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "base/linear_probe.h"

namespace indicizza {
namespace {

constexpr std::size_t kInitialSlotCount = 1 << 12;
constexpr std::uint64_t kEmptySlot = 0;
// Arena offsets are stored plus one in 32 bits.
constexpr std::size_t kMaxArenaSize = std::numeric_limits<std::uint32_t>::max() - 1;

std::uint32_t load32(const char* p) {
  std::uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace

std::uint64_t TermTable::slotOf(std::uint32_t hash, std::uint32_t offset) {
  return (std::uint64_t{hash} << kHashShift) | (std::uint64_t{offset} + 1);
}

std::uint32_t TermTable::offsetOf(std::uint64_t slot) {
  return static_cast<std::uint32_t>((slot & kOffsetMask) - 1);
}

TermTable::TermTable() : slots_(kInitialSlotCount, kEmptySlot) {}

std::string_view TermTable::textAt(std::uint32_t offset) const {
  const char* header = arena_.data() + offset;
  return {header + kHeaderBytes, load32(header + kIdBytes)};
}

TermTable::TermId TermTable::idAt(std::uint32_t offset) const {
  return load32(arena_.data() + offset);
}

TermTable::TermId TermTable::intern(std::string_view term, std::uint32_t hash) {
  const std::size_t i = probeSlot(slots_, hash, [&](std::uint64_t slot) {
    return (slot >> kHashShift) == hash && textAt(offsetOf(slot)) == term;
  });
  if (slots_[i] != kEmptySlot) return idAt(offsetOf(slots_[i]));

  if (arena_.size() + kHeaderBytes + term.size() > kMaxArenaSize) {
    throw std::length_error("terms too long in all");
  }
  const auto id = static_cast<TermId>(offsets_.size());
  const auto offset = static_cast<std::uint32_t>(arena_.size());
  const auto length = static_cast<std::uint32_t>(term.size());
  arena_.append(reinterpret_cast<const char*>(&id), kIdBytes);
  arena_.append(reinterpret_cast<const char*>(&length), kLengthBytes);
  arena_.append(term);
  offsets_.push_back(offset);
  slots_[i] = slotOf(hash, offset);
  if (offsets_.size() * 2 > slots_.size()) grow();
  return id;
}

void TermTable::grow() {
  decltype(slots_) old(slots_.size() * 2, kEmptySlot);
  old.swap(slots_);
  for (const std::uint64_t slot : old) {
    if (slot == kEmptySlot) continue;
    slots_[probeEmptySlot(slots_, static_cast<std::uint32_t>(slot >> kHashShift))] = slot;
  }
}

}  // namespace indicizza
