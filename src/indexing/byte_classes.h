// What each of the 256 byte values is to term extraction, as tables indexed
// by the byte. No locale is involved: bytes 128-255 are word bytes with no
// case.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace indicizza {

// The 19 bytes at which text is cut into tokens: blank, tab, " , . ; : - + !
// % & / ? ( ) [ ] and the apostrophe. Every other byte belongs to words.
inline constexpr std::string_view kSeparatorBytes = " \t\",.;:-+!%&/?()[]'";

enum ByteClass : std::uint8_t {
  kWordByte = 0,
  kSeparator = 1 << 0,
  kDigit = 1 << 1,  // 0-9: a word byte that makes a token a code, never a word
};

inline constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  for (char c : kSeparatorBytes) classes[static_cast<std::uint8_t>(c)] |= kSeparator;
  for (char c = '0'; c <= '9'; ++c) classes[static_cast<std::uint8_t>(c)] |= kDigit;
  return classes;
}();

inline bool isSeparator(char c) { return kByteClasses[static_cast<std::uint8_t>(c)] & kSeparator; }
inline bool isDigit(char c) { return kByteClasses[static_cast<std::uint8_t>(c)] & kDigit; }

// Whether `s` holds a digit: what makes a token a code rather than a word.
inline bool holdsDigit(std::string_view s) {
  for (char c : s) {
    if (isDigit(c)) return true;
  }
  return false;
}

// ASCII a-z to A-Z; every other byte maps to itself.
inline constexpr std::array<char, 256> kUpperCase = [] {
  std::array<char, 256> upper{};
  for (int b = 0; b < 256; ++b) {
    upper[static_cast<std::size_t>(b)] =
        static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
  }
  return upper;
}();

inline char asciiUpper(char c) { return kUpperCase[static_cast<std::uint8_t>(c)]; }

// asciiUpper on each of the eight bytes of `chunk` at once.
inline std::uint64_t asciiUpperChunk(std::uint64_t chunk) {
  constexpr std::uint64_t kOnes = 0x0101'0101'0101'0101u;
  constexpr std::uint64_t kHighBits = 0x80 * kOnes;
  // Per byte, with its high bit cleared (no sum carries into the next
  // byte): the high bit of the sum says whether it is at least 'a', or
  // more than 'z'. Bytes 128-255 stay as they are.
  const std::uint64_t low7 = chunk & ~kHighBits;
  const std::uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;
  const std::uint64_t beyondZ = low7 + (0x80 - 'z' - 1) * kOnes;
  const std::uint64_t lowerCase = atLeastA & ~beyondZ & ~chunk & kHighBits;
  return chunk ^ (lowerCase >> 2);  // 0x80 >> 2 is the case bit, 0x20
}

}  // namespace indicizza
