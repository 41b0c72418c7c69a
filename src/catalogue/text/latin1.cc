#include "catalogue/text/latin1.h"

#include <cstdint>
#include <cstdio>

#include "catalogue/text/transliteration.h"
#include "catalogue/text/utf8.h"

namespace indicizza {
namespace {

constexpr char32_t kLatin1Last = 0xFF;
// UTF-8 of code points 0x80-0xFF: a lead byte 110xxxxx and one 10xxxxxx.
constexpr std::uint8_t kFirstMultiByte = 0x80;
constexpr std::uint8_t kTwoByteLead = 0xC0;

// Decodes the UTF-8 sequence at `pos` into `codePoint` and advances `pos`;
// false on a malformed sequence (utf8.h).
bool decodeOne(std::string_view s, std::size_t& pos, char32_t& codePoint) {
  const std::size_t length = utf8SequenceAt(s.substr(pos), codePoint);
  pos += length;
  return length != 0;
}

const char* asciiLookAlike(char32_t c) {
  switch (c) {
    case U'\u2010':
    case U'\u2011':
    case U'\u2012':
    case U'\u2013':
    case U'\u2014': return "-";
    case U'\u2018':
    case U'\u2019':
    case U'\u201A': return "'";
    case U'\u201C':
    case U'\u201D':
    case U'\u201E': return "\"";
    case U'\u2116': return "No";
    case U'\u2026': return "...";
    case U'\u2022': return "*";
    default: return "?";
  }
}

// The Latin-1 stand-in of a typographic character, or nullptr.
const char* typographicStandIn(char32_t c) {
  if ((c >= U'\u2010' && c <= U'\u2015') || c == U'\u2212') return "-";
  switch (c) {
    case U'\u2018':
    case U'\u2019':
    case U'\u201A':
    case U'\u201B': return "'";
    case U'\u201C':
    case U'\u201D':
    case U'\u201E':
    case U'\u201F': return "\"";
    case U'\u2026': return "...";
    case U'\u2007':
    case U'\u202F': return "\xA0";
    case U'\u205F': return " ";
    default: break;
  }
  if (c >= U'\u2000' && c <= U'\u200A') return " ";
  return nullptr;
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
    } else if (c > kLatin1Last && !nearestLatin1(c).empty()) {
      out += nearestLatin1(c);
    } else if (c > kLatin1Last) {
      out += asciiLookAlike(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

Latin1Conversion utf8ToLatin1(std::string_view utf8, Typographic typographic, Letters letters) {
  Latin1Conversion result;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t start = pos;
    char32_t c;
    char text[96];
    if (!decodeOne(utf8, pos, c)) {
      std::snprintf(text, sizeof text, "sequenza UTF-8 non valida al byte %zu (0x%02X)", start + 1,
                    static_cast<unsigned>(static_cast<std::uint8_t>(utf8[start])));
      result.error = text;
      result.malformed = true;
      return result;
    }
    if (c > kLatin1Last && typographic == Typographic::kReplaced) {
      if (const char* standIn = typographicStandIn(c)) {
        result.latin1 += standIn;
        ++result.replaced;
        continue;
      }
    }
    if (c > kLatin1Last) {
      const std::string_view nearest = nearestLatin1(c);
      if (!nearest.empty() && letters == Letters::kTransliterated) {
        result.latin1 += nearest;
        ++result.transliterated;
        continue;
      }
      std::snprintf(text, sizeof text, "carattere U+%04X non rappresentabile in Latin-1",
                    static_cast<unsigned>(c));
      result.error = text;
      result.transliterable = !nearest.empty();
      return result;
    }
    result.latin1 += static_cast<char>(c);
  }
  return result;
}

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char byte : latin1) {
    const auto c = static_cast<std::uint8_t>(byte);
    if (c < kFirstMultiByte) {
      out += byte;
    } else {
      out += static_cast<char>(kTwoByteLead | (c >> kUtf8ContinuationBits));
      out += static_cast<char>(kUtf8ContinuationTag | (c & kUtf8ContinuationPayload));
    }
  }
  return out;
}

}  // namespace indicizza
