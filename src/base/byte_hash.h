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
  const auto mix = [&](std::uint64_t chunk) {
    hash = (hash ^ chunk) * kMultiplier;
    hash ^= hash >> kMixShift;
  };
  for (; left >= sizeof(std::uint64_t); left -= sizeof(std::uint64_t), p += sizeof(std::uint64_t)) {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    mix(chunk);
  }
  if (left > 0) {
    // The last 1-7 bytes, byte by byte: a copy of variable length would be a
    // library call.
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < left; ++i)
      chunk |= std::uint64_t{static_cast<std::uint8_t>(p[i])} << (8 * i);
    mix(chunk);
  }
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> kResultShift);
}

}  // namespace indicizza
