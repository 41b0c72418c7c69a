#include "catalogo/web/web_text.h"

#include "catalogue/text/utf8.h"

namespace indicizza::catalogo {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0x0F;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool keptInForm(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '*';
}

}  // namespace

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t codePoint = 0;
    const std::size_t length = utf8SequenceAt(text.substr(at), codePoint);
    if (length == 0) {
      out += kReplacement;
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

std::string htmlEscaped(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string out;
  out.reserve(valid.size());
  for (char c : valid) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
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
