// The rules that make terms of a record's text, in one place for the indexer
// (terms.h) and for search, which reads each record back as the indexer
// read it: what a token is (tokens.h), which tokens are words and how they
// are upper-cased, and where a code field is cut.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/byte_hash.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"

namespace indicizza {

namespace term_rules_detail {

// The walk of forEachIndexedWord, and of forEachHashedWord when kHash.
template <bool kHash, typename Visit>
void walkIndexedWords(std::string_view text, Visit&& visit) {
  // Record text fields are far shorter; a longer token goes to the heap.
  // Words are upper-cased eight bytes at a time, so either buffer has room
  // for a chunk past the word.
  constexpr std::size_t kShortWord = 128;
  std::array<char, kShortWord + kHashChunkBytes> shortWord;
  std::string longWord;
  const char* const end = text.data() + text.size();
  forEachClassedToken(text, [&](std::string_view token, std::uint8_t classes) {
    if (classes & kDigit) return;
    const char* const start = token.data();
    const std::size_t size = token.size();
    char* upper = shortWord.data();
    if (size > kShortWord) {
      longWord.resize(size + kHashChunkBytes);
      upper = longWord.data();
    }
    // Chunk by chunk: the token's bytes (zeros past its end, as hashChunk
    // takes them), read whole where the text goes on for eight bytes,
    // upper-cased, stored and hashed.
    std::uint64_t hash = hashStart(size);
    for (std::size_t i = 0; i < size; i += kHashChunkBytes) {
      const std::size_t left = size - i;
      std::uint64_t chunk;
      if (static_cast<std::size_t>(end - (start + i)) >= kHashChunkBytes) {
        std::memcpy(&chunk, start + i, sizeof chunk);
        if (left < kHashChunkBytes) chunk &= (std::uint64_t{1} << (8 * left)) - 1;
      } else {
        chunk = loadPartialChunk(start + i, left);
      }
      chunk = asciiUpperChunk(chunk);
      std::memcpy(upper + i, &chunk, sizeof chunk);
      if constexpr (kHash) hash = hashChunk(hash, chunk);
    }
    if constexpr (kHash) {
      visit(std::string_view(upper, size), hashEnd(hash));
    } else {
      visit(std::string_view(upper, size));
    }
  });
}

}  // namespace term_rules_detail

// Calls `visit(word)` for each word of `text`, in order, as the index keeps
// it: a token (tokens.h) that holds no digit (a token with a digit is a
// number, which is never indexed from text), upper-cased (a-z only; every
// other byte as it is). The view passed is valid only during the call.
// Repeats and stop words are the caller's to drop.
template <typename Visit>
void forEachIndexedWord(std::string_view text, Visit&& visit) {
  term_rules_detail::walkIndexedWords<false>(text, visit);
}

// The same, calling `visit(word, hashBytes(word))`.
template <typename Visit>
void forEachHashedWord(std::string_view text, Visit&& visit) {
  term_rules_detail::walkIndexedWords<true>(text, visit);
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
