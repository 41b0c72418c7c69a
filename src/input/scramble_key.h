// The record scrambling: byte i of a record is XORed with key byte (i mod 8),
// the position restarting at 0 with each record. The same operation
// scrambles plain bytes and descrambles stored ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace indicizza {

inline constexpr std::size_t kScrambleKeyLength = 8;

// The eight key bytes, byte 0 first.
struct ScrambleKey {
  std::array<std::uint8_t, kScrambleKeyLength> bytes;
};

// Builds the key of this build (the INDICIZZA_SCRAMBLE_KEY the program was
// configured with), byte by byte.
ScrambleKey buildScrambleKey();

// XORs `bytes` in place with `key`, position 0 being the first byte of the
// span. Applying it twice gives back the original bytes.
void descramble(std::span<std::uint8_t> bytes, const ScrambleKey& key);

}  // namespace indicizza
