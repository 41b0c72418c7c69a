// A fast hash of short byte strings, for the program's hash tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace indicizza {

// Bytes a hash takes at a time.
inline constexpr std::size_t kHashChunkBytes = sizeof(std::uint64_t);
// The hash's odd multiplier (2^64 over the golden ratio).
inline constexpr std::uint64_t kHashMultiplier = 0x9E37'79B9'7F4A'7C15u;

// The `size` (< kHashChunkBytes) bytes at `p` as a chunk, read
// little-endian and padded with zero bytes, a byte at a time: a copy of
// variable length would be a library call per word.
inline std::uint64_t loadPartialChunk(const char* p, std::size_t size) {
  std::uint64_t chunk = 0;
  for (std::size_t i = 0; i < size; ++i)
    chunk |= std::uint64_t{static_cast<std::uint8_t>(p[i])} << (8 * i);
  return chunk;
}

// hashBytes taken a chunk at a time, for a caller that holds the bytes in
// chunks already: hashStart(size), then hashChunk for each 8 bytes in order
// (read little-endian; the last chunk padded with zero bytes), then
// hashEnd.
inline std::uint64_t hashStart(std::size_t size) { return size * kHashMultiplier; }
inline std::uint64_t hashChunk(std::uint64_t hash, std::uint64_t chunk) {
  constexpr int kMixShift = 29;
  hash = (hash ^ chunk) * kHashMultiplier;
  return hash ^ (hash >> kMixShift);
}
inline std::uint32_t hashEnd(std::uint64_t hash) {
  constexpr int kResultShift = 32;
  return static_cast<std::uint32_t>((hash * kHashMultiplier) >> kResultShift);
}

// A 32-bit hash of `bytes`, taken eight bytes at a time. It only spreads
// strings over a table's slots: equality is always checked on the bytes.
inline std::uint32_t hashBytes(std::string_view bytes) {
  std::uint64_t hash = hashStart(bytes.size());
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= kHashChunkBytes; left -= kHashChunkBytes, p += kHashChunkBytes) {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    hash = hashChunk(hash, chunk);
  }
  if (left > 0) hash = hashChunk(hash, loadPartialChunk(p, left));
  return hashEnd(hash);
}

}  // namespace indicizza
