#include "indexing/terms.h"

#include <algorithm>
#include <array>

#include "indexing/byte_classes.h"
#include "indexing/tokens.h"

namespace indicizza {
namespace {

// The longest token is a whole text field.
constexpr std::size_t kLongestToken =
    std::max_element(kTextFields.begin(), kTextFields.end(), [](FieldSpan a, FieldSpan b) {
      return a.length < b.length;
    })->length;

}  // namespace

bool TermList::contains(std::string_view term) const {
  const std::uint32_t signature = signatureOf(term);
  for (std::size_t i = 0; i < size(); ++i) {
    if (signatures_[i] == signature && (*this)[i] == term) return true;
  }
  return false;
}

void extractTerms(const DecodedRecord& record, const StopWordSet& stopWords, TermList& terms) {
  terms.clear();

  // The word source is the seven text fields joined by single blanks. A blank
  // is a separator, so no token spans two fields and each field can be cut on
  // its own with the same result.
  std::array<char, kLongestToken> upper;
  for (int field = 1; field <= static_cast<int>(kTextFieldCount); ++field) {
    forEachToken(textField(record, field), [&](std::string_view token) {
      // One pass: upper-case the token and see whether it holds a digit.
      std::uint8_t classes = 0;
      for (std::size_t i = 0; i < token.size(); ++i) {
        classes |= kByteClasses[static_cast<std::uint8_t>(token[i])];
        upper[i] = asciiUpper(token[i]);
      }
      if (classes & kDigit) return;
      const std::string_view word(upper.data(), token.size());
      if (stopWords.contains(word)) return;
      // Words come first in the list, so the words kept so far are the
      // record's word set.
      if (terms.contains(word)) return;
      terms.append(word);
    });
  }

  for (int field = 1; field <= static_cast<int>(kCodeFieldCount); ++field) {
    std::string_view code = codeField(record, field);
    const auto separator = std::find_if(code.begin(), code.end(), [](char c) { return isSeparator(c); });
    if (separator != code.begin() && separator != code.end()) {
      code = code.substr(0, static_cast<std::size_t>(separator - code.begin()));
    }
    if (holdsDigit(code)) terms.append(code);
  }
}

}  // namespace indicizza
