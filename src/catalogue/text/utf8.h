// UTF-8 as RFC 3629 has it: the one reading of it for all the text the
// read side and its front ends take in or give out (the Latin-1
// conversion, text for a terminal, for a page, for a log).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace indicizza {

// A UTF-8 continuation byte is 10xxxxxx: its tag under the tag's mask, and
// six bits of the code point.
inline constexpr std::uint8_t kUtf8ContinuationTagMask = 0xC0;
inline constexpr std::uint8_t kUtf8ContinuationTag = 0x80;
inline constexpr std::uint8_t kUtf8ContinuationPayload = 0x3F;
inline constexpr int kUtf8ContinuationBits = 6;

// The length (1 to 4 bytes) of the well-formed UTF-8 sequence at the start
// of `text`, with its code point in `codePoint`; 0 when there is none there
// (empty text, a stray continuation byte, a sequence cut short or overlong,
// a surrogate, a code point past U+10FFFF), and `codePoint` is then
// unspecified.
std::size_t utf8SequenceAt(std::string_view text, char32_t& codePoint);

// Whether code point `c` is a control character: C0, DEL or C1, which no
// terminal, page or log line should get raw.
inline bool isControlCharacter(char32_t c) {
  return c <= 0x1F || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

// `text` without the byte-order mark (U+FEFF) it may start with, as cifra
// reads its input.
std::string_view withoutByteOrderMark(std::string_view text);

}  // namespace indicizza
