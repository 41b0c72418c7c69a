#include "catalogo/web/web_text.h"

namespace indicizza::catalogo {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0x0F;

// UTF-8 (RFC 3629): the lead byte gives the sequence's length; the second
// byte's range is narrower after E0, ED, F0 and F4 (no overlong forms, no
// surrogates D800-DFFF, nothing past U+10FFFF); later bytes are 80-BF.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr unsigned char kContinuationLow = 0x80;
constexpr unsigned char kContinuationHigh = 0xBF;

struct SequenceRule {
  std::size_t length = 0;  // 0: not a lead byte
  unsigned char secondLow = kContinuationLow;
  unsigned char secondHigh = kContinuationHigh;
};

SequenceRule ruleOf(unsigned char lead) {
  if (lead < 0x80) return {1};
  if (lead < 0xC2) return {};  // a continuation byte, or C0/C1 (overlong)
  if (lead < 0xE0) return {2};
  if (lead == 0xE0) return {3, 0xA0, kContinuationHigh};
  if (lead == 0xED) return {3, kContinuationLow, 0x9F};
  if (lead < 0xF0) return {3};
  if (lead == 0xF0) return {4, 0x90, kContinuationHigh};
  if (lead < 0xF4) return {4};
  if (lead == 0xF4) return {4, kContinuationLow, 0x8F};
  return {};
}

// The length of the well-formed sequence at text[at], or 0.
std::size_t sequenceAt(std::string_view text, std::size_t at) {
  const SequenceRule rule = ruleOf(static_cast<unsigned char>(text[at]));
  if (rule.length == 0 || at + rule.length > text.size()) return 0;
  for (std::size_t i = 1; i < rule.length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    const unsigned char low = i == 1 ? rule.secondLow : kContinuationLow;
    const unsigned char high = i == 1 ? rule.secondHigh : kContinuationHigh;
    if (byte < low || byte > high) return 0;
  }
  return rule.length;
}

bool keptInForm(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '*';
}

}  // namespace

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequenceAt(text, at);
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
