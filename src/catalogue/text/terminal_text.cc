#include "catalogue/text/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include "catalogue/text/latin1.h"
#include "catalogue/text/utf8.h"

namespace indicizza {
namespace {

constexpr char32_t kByteOrderMarkCodePoint = 0xFEFF;

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
    const std::size_t length = utf8SequenceAt(utf8, c);
    if (length == 0) {
      appendEscape(out, static_cast<std::uint8_t>(utf8[0]));
      utf8.remove_prefix(1);
      continue;
    }
    if (isControlCharacter(c)) {
      appendEscape(out, static_cast<unsigned>(c));
    } else if (c == kByteOrderMarkCodePoint) {
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
