// A fast hash of short byte strings, for the program's hash tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace indicizza {

namespace byte_hash_detail {

inline constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15u;
inline constexpr int kMixShift = 29;
inline constexpr int kResultShift = 32;

inline std::uint64_t mix(std::uint64_t hash, std::uint64_t chunk) {
  hash = (hash ^ chunk) * kMultiplier;
  return hash ^ (hash >> kMixShift);
}

inline std::uint64_t load8(const char* p) {
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  return chunk;
}

}  // namespace byte_hash_detail

// Bytes a hash takes at a time.
inline constexpr std::size_t kHashChunkBytes = sizeof(std::uint64_t);

// A 32-bit hash of `bytes`, taken eight bytes at a time. It only spreads
// strings over a table's slots: equality is always checked on the bytes.
inline std::uint32_t hashBytes(std::string_view bytes) {
  using namespace byte_hash_detail;
  std::uint64_t hash = bytes.size() * kMultiplier;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= kHashChunkBytes; left -= kHashChunkBytes, p += kHashChunkBytes)
    hash = mix(hash, load8(p));
  if (left > 0) {
    // The last 1-7 bytes, byte by byte: a copy of variable length would be a
    // library call.
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < left; ++i)
      chunk |= std::uint64_t{static_cast<std::uint8_t>(p[i])} << (8 * i);
    hash = mix(hash, chunk);
  }
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> kResultShift);
}

// hashBytes({bytes, size}) for bytes that are followed by zero bytes up to
// the next multiple of kHashChunkBytes (a buffer of the caller's, padded):
// the last chunk is then taken whole, with no loop over its bytes.
inline std::uint32_t hashZeroPadded(const char* bytes, std::size_t size) {
  using namespace byte_hash_detail;
  std::uint64_t hash = size * kMultiplier;
  for (std::size_t i = 0; i < size; i += kHashChunkBytes) hash = mix(hash, load8(bytes + i));
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> kResultShift);
}

}  // namespace indicizza
