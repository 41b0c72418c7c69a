#include "indexing/term_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace indicizza {
namespace {

using HashedWords = std::vector<std::pair<std::string, std::uint32_t>>;

// The words of `text` as the rules define them, a byte at a time: tokens
// (forEachToken) without a digit, upper-cased by asciiUpper, and their
// hashBytes.
HashedWords wordsByDefinition(std::string_view text) {
  HashedWords words;
  forEachToken(text, [&](std::string_view token) {
    if (holdsDigit(token)) return;
    std::string word;
    for (char c : token) word += asciiUpper(c);
    words.emplace_back(word, hashBytes(word));
  });
  return words;
}

HashedWords hashedWords(std::string_view text) {
  HashedWords words;
  forEachHashedWord(text, [&](std::string_view word, std::uint32_t hash) {
    words.emplace_back(std::string(word), hash);
  });
  return words;
}

// Every byte value, in words of every length from 1 to 20, in texts that
// end right after a word (the last chunk can't be read whole) or go on, and
// a word longer than the walk's own buffer.
TEST(ForEachHashedWord, GivesTheWordsAndHashesOfTheByteByByteRules) {
  std::string letters;
  for (int b = 1; b < 256; ++b) {
    if (!isSeparator(static_cast<char>(b))) letters += static_cast<char>(b);
  }
  std::vector<std::string> texts;
  std::string all;
  for (std::size_t length = 1; length <= 20; ++length) {
    for (std::size_t from = 0; from + length <= letters.size(); from += length) {
      const std::string word = letters.substr(from, length);
      texts.push_back(word);
      texts.push_back(" " + word + ", ");
      texts.push_back("x'" + word);
      all += word + " ";
    }
  }
  texts.push_back(all);
  texts.push_back("corto " + std::string(300, 'q') + " e " + std::string(129, 'r'));
  for (const std::string& text : texts) {
    EXPECT_EQ(hashedWords(text), wordsByDefinition(text)) << text;
  }
}

// The indexer's walk and the search's (forEachIndexedWord) give the same
// words.
TEST(ForEachIndexedWord, GivesTheWordsOfTheHashedWalk) {
  const std::string text = "Sonata in la, K.331: Rondo alla turca; \xC9tude op.10 \xE0 l'aube";
  std::vector<std::string> plain;
  forEachIndexedWord(text, [&](std::string_view word) { plain.emplace_back(word); });
  std::vector<std::string> hashed;
  for (auto& [word, hash] : hashedWords(text)) hashed.push_back(word);
  EXPECT_EQ(plain, hashed);
  EXPECT_EQ(plain, (std::vector<std::string>{"SONATA", "IN", "LA", "K", "RONDO", "ALLA", "TURCA",
                                             "\xC9TUDE", "OP", "\xE0", "L", "AUBE"}));
}

}  // namespace
}  // namespace indicizza
