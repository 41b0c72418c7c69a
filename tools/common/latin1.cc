#include "common/latin1.h"

#include <cstdint>

namespace indicizza::tools {
namespace {

// Decodes the UTF-8 sequence at `pos` into `codePoint` and advances `pos`;
// false on a malformed or overlong sequence.
bool decodeOne(std::string_view s, std::size_t& pos, char32_t& codePoint) {
  const auto lead = static_cast<std::uint8_t>(s[pos]);
  std::size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    codePoint = lead;
    ++pos;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (pos + length > s.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(s[pos + i]);
    if ((next & 0xC0) != 0x80) return false;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF) return false;
  pos += length;
  return true;
}

const char* asciiLookAlike(char32_t c) {
  switch (c) {
    case U'\u2010': case U'\u2011': case U'\u2012': case U'\u2013': case U'\u2014': return "-";
    case U'\u2018': case U'\u2019': case U'\u201A': return "'";
    case U'\u201C': case U'\u201D': case U'\u201E': return "\"";
    case U'\u2116': return "No";
    case U'\u2026': return "...";
    case U'\u2022': return "*";
    default: return "?";
  }
}

}  // namespace

std::string utf8ToLatin1Approximate(std::string_view utf8) {
  std::string out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c;
    if (!decodeOne(utf8, pos, c)) {
      out += '?';
      ++pos;
    } else if (c > 0xFF) {
      out += asciiLookAlike(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace indicizza::tools
