#include "catalogue/text/valid_utf8.h"

#include "catalogue/text/utf8.h"

namespace indicizza {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

}  // namespace indicizza
