// A fast hash of short byte strings, for the program's hash tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace indicizza {

// A 32-bit hash of `bytes`, taken eight bytes at a time. It only spreads
// strings over a table's slots: equality is always checked on the bytes.
inline std::uint32_t hashBytes(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15u;
  constexpr int kMixShift = 29;
  constexpr int kResultShift = 32;
  std::uint64_t hash = bytes.size() * kMultiplier;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    std::uint64_t chunk = 0;
    const std::size_t n = left < sizeof chunk ? left : sizeof chunk;
    std::memcpy(&chunk, p, n);
    hash = (hash ^ chunk) * kMultiplier;
    hash ^= hash >> kMixShift;
    p += n;
    left -= n;
  }
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> kResultShift);
}

}  // namespace indicizza
