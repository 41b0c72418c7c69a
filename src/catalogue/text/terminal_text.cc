#include "catalogue/text/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include "catalogue/text/latin1.h"

namespace indicizza {
namespace {

constexpr char32_t kLastC0Control = 0x1F;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kFirstC1Control = 0x80;
constexpr char32_t kLastC1Control = 0x9F;
constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

// The length of the well-formed UTF-8 sequence at the start of `text` (at
// least one byte) and its code point in `codePoint`; 0 when it is not one
// (a stray continuation byte, a cut or overlong sequence, a surrogate, a
// code point beyond U+10FFFF).
std::size_t sequenceAt(std::string_view text, char32_t& codePoint) {
  const auto lead = static_cast<std::uint8_t>(text[0]);
  std::size_t length = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < smallest || codePoint > kLastCodePoint ||
      (codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate)) {
    return 0;
  }
  return length;
}

bool isControl(char32_t c) {
  return c <= kLastC0Control || c == kDelete || (c >= kFirstC1Control && c <= kLastC1Control);
}

void appendEscape(std::string& out, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02x", value);
  out += escape;
}

}  // namespace

std::string terminalText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t c = 0;
    const std::size_t length = sequenceAt(utf8, c);
    if (length == 0) {
      appendEscape(out, static_cast<std::uint8_t>(utf8[0]));
      utf8.remove_prefix(1);
      continue;
    }
    if (isControl(c)) {
      appendEscape(out, static_cast<unsigned>(c));
    } else if (c == kByteOrderMark) {
      out += "\\ufeff";
    } else {
      out.append(utf8.substr(0, length));
    }
    utf8.remove_prefix(length);
  }
  return out;
}

std::string terminalTextOfLatin1(std::string_view latin1) {
  return terminalText(latin1ToUtf8(latin1));
}

}  // namespace indicizza
