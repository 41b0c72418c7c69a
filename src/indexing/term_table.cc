#include "indexing/term_table.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace indicizza {
namespace {

constexpr std::size_t kInitialSlotCount = 1 << 12;
constexpr std::uint64_t kEmptySlot = 0;
constexpr int kHashShift = 32;
constexpr std::uint64_t kIdMask = 0xFFFF'FFFFu;
constexpr std::size_t kMaxTerms = std::numeric_limits<TermTable::TermId>::max() - 1;

// A fast 32-bit hash of a short byte string, eight bytes at a time. Only
// spreads terms over slots: equality is always checked on the bytes.
std::uint32_t hashOf(std::string_view term) {
  constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15u;
  std::uint64_t hash = term.size() * kMultiplier;
  const char* p = term.data();
  std::size_t left = term.size();
  while (left > 0) {
    std::uint64_t chunk = 0;
    const std::size_t n = left < sizeof chunk ? left : sizeof chunk;
    std::memcpy(&chunk, p, n);
    hash = (hash ^ chunk) * kMultiplier;
    hash ^= hash >> 29;
    p += n;
    left -= n;
  }
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> kHashShift);
}

std::uint64_t slotOf(std::uint32_t hash, TermTable::TermId id) {
  return (std::uint64_t{hash} << kHashShift) | (std::uint64_t{id} + 1);
}

}  // namespace

TermTable::TermTable() : slots_(kInitialSlotCount, kEmptySlot) {}

TermTable::TermId TermTable::intern(std::string_view term) {
  const std::uint32_t hash = hashOf(term);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  for (;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == kEmptySlot) break;
    if ((slot >> kHashShift) == hash) {
      const auto id = static_cast<TermId>((slot & kIdMask) - 1);
      if (text(id) == term) return id;
    }
  }

  if (ends_.size() >= kMaxTerms) throw std::length_error("too many distinct terms");
  const auto id = static_cast<TermId>(ends_.size());
  bytes_.append(term);
  ends_.push_back(bytes_.size());
  slots_[i] = slotOf(hash, id);
  if (ends_.size() * 2 > slots_.size()) grow();
  return id;
}

void TermTable::grow() {
  decltype(slots_) old(slots_.size() * 2, kEmptySlot);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t slot : old) {
    if (slot == kEmptySlot) continue;
    std::size_t i = (slot >> kHashShift) & mask;
    while (slots_[i] != kEmptySlot) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace indicizza
