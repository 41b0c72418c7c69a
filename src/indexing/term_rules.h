// The rules that make terms of a record's text, in one place for the indexer
// (terms.h) and for search, which reads each record back as the indexer
// read it: what a token is (tokens.h), which tokens are words and how they
// are upper-cased, and where a code field is cut.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "indexing/byte_classes.h"
#include "indexing/tokens.h"

namespace indicizza {

// Calls `visit(word)` for each word of `text`, in order, as the index keeps
// it: a token that holds no digit (a token with a digit is a number, which
// is never indexed from text), upper-cased (a-z only; every other byte as it
// is). The view passed is valid only during the call. Repeats and stop
// words are the caller's to drop.
template <typename Visit>
void forEachIndexedWord(std::string_view text, Visit&& visit) {
  // Record text fields are far shorter; a longer token goes to the heap.
  constexpr std::size_t kShortWord = 128;
  std::array<char, kShortWord> shortWord;
  std::string longWord;
  forEachToken(text, [&](std::string_view token) {
    char* upper = shortWord.data();
    if (token.size() > shortWord.size()) {
      longWord.resize(token.size());
      upper = longWord.data();
    }
    // One pass: upper-case the token and see whether it holds a digit.
    std::uint8_t classes = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
      classes |= kByteClasses[static_cast<std::uint8_t>(token[i])];
      upper[i] = asciiUpper(token[i]);
    }
    if (classes & kDigit) return;
    visit(std::string_view(upper, token.size()));
  });
}

// Where the indexer cuts the text of a code field: before its first
// separator byte, unless that is its first byte (then the whole field is
// taken, blanks and all).
inline std::string_view cutCodeField(std::string_view field) {
  if (field.empty() || isSeparator(field.front())) return field;
  for (std::size_t i = 1; i < field.size(); ++i) {
    if (isSeparator(field[i])) return field.substr(0, i);
  }
  return field;
}

// The code the indexer takes from the text of a code field: cutCodeField,
// kept as it is when it holds a digit; "" when the field gives no code.
inline std::string_view indexedCodeOf(std::string_view field) {
  const std::string_view code = cutCodeField(field);
  return holdsDigit(code) ? code : std::string_view();
}

}  // namespace indicizza
