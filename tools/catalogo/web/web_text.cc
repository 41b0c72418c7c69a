#include "catalogo/web/web_text.h"

#include <algorithm>

#include "catalogue/text/utf8.h"

namespace indicizza::catalogo {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0x0F;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// What a log line shows in place of a control character.
constexpr char kLogPlaceholder = '?';

// Calls `each` with every character of valid UTF-8 `text`: its bytes and
// its code point.
template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = std::max<std::size_t>(utf8SequenceAt(text, c), 1);
    each(text.substr(0, length), c);
    text.remove_prefix(length);
  }
}

bool keptInForm(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '*';
}

}  // namespace

std::string htmlEscaped(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string out;
  out.reserve(valid.size());
  forEachCharacter(valid, [&](std::string_view character, char32_t c) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += isControlCharacter(c) ? kReplacement : character;
    }
  });
  return out;
}

std::string logText(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string out;
  out.reserve(valid.size());
  forEachCharacter(valid, [&](std::string_view character, char32_t c) {
    if (isControlCharacter(c)) {
      out += kLogPlaceholder;
    } else {
      out += character;
    }
  });
  return out;
}

std::string formEncoded(std::string_view value) {
  std::string out;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (keptInForm(byte)) {
      out += c;
    } else if (byte == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHexDigits[byte >> kNibbleBits];
      out += kHexDigits[byte & kNibbleMask];
    }
  }
  return out;
}

}  // namespace indicizza::catalogo
