#include "catalogue/text/utf8.h"

#include <cstdint>

namespace indicizza {
namespace {

// A lead byte's high bits give the sequence's length and leave its own
// bits of the code point; each continuation byte is 10xxxxxx.
struct LeadForm {
  std::uint8_t mask;   // the bits that say the length
  std::uint8_t value;  // what they are for this length
  std::size_t length;
  char32_t smallest;  // the least code point this length may carry
};
constexpr LeadForm kLeadForms[] = {
    {0x80, 0x00, 1, 0x0},
    {0xE0, 0xC0, 2, 0x80},
    {0xF0, 0xE0, 3, 0x800},
    {0xF8, 0xF0, 4, 0x10000},
};
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::size_t utf8SequenceAt(std::string_view text, char32_t& codePoint) {
  if (text.empty()) return 0;
  const auto lead = static_cast<std::uint8_t>(text[0]);
  for (const LeadForm& form : kLeadForms) {
    if ((lead & form.mask) != form.value) continue;
    if (text.size() < form.length) return 0;
    codePoint = lead & static_cast<std::uint8_t>(~form.mask);
    for (std::size_t i = 1; i < form.length; ++i) {
      const auto next = static_cast<std::uint8_t>(text[i]);
      if ((next & kUtf8ContinuationTagMask) != kUtf8ContinuationTag) return 0;
      codePoint = (codePoint << kUtf8ContinuationBits) | (next & kUtf8ContinuationPayload);
    }
    const bool surrogate = codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate;
    if (codePoint < form.smallest || codePoint > kLastCodePoint || surrogate) return 0;
    return form.length;
  }
  return 0;
}

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  return text;
}

}  // namespace indicizza
