#include "search/understanding/music_words.h"

#include <charconv>
#include <unordered_map>

#include "catalogue/text/latin1.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/built_in_vocabulary_text.h"
#include "search/understanding/word_list_lines.h"

namespace indicizza {
namespace {

// A data line "head: word word ...": the head, and the words (folded); a
// word the indexer would cut in two ("mezzo-soprano") is left out, since
// one query word can never be it.
bool splitLine(std::string_view line, std::string& head, std::vector<std::string>& words) {
  const std::size_t colon = line.find(':');
  if (line.empty() || line.front() == kWordListCommentMark || colon == std::string_view::npos)
    return false;
  head = std::string(line.substr(0, colon));
  words.clear();
  const std::string latin1 = utf8ToLatin1Approximate(line.substr(colon + 1));
  std::size_t at = 0;
  while (at < latin1.size()) {
    const std::size_t end = std::min(latin1.find(' ', at), latin1.size());
    const std::string_view word = std::string_view(latin1).substr(at, end - at);
    std::size_t tokens = 0;
    forEachToken(word, [&](std::string_view) { ++tokens; });
    if (tokens == 1) words.push_back(foldedText(word));
    at = end + 1;
  }
  return true;
}

template <typename Each>
void forEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    each(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

// The words that bring in a number in titles ("No. 5", "Nr. 5", "N. 5").
constexpr std::string_view kNumberWords[] = {"NO", "NR", "N"};

// `number` (1 to 3999) in Roman numerals.
std::string roman(unsigned number) {
  static constexpr std::pair<unsigned, std::string_view> kDigits[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  std::string text;
  for (const auto& [value, digits] : kDigits) {
    for (; number >= value; number -= value) text += digits;
  }
  return text;
}

struct BuiltIn {
  std::vector<WordMeaning> meanings;
  std::unordered_map<std::string, std::size_t> meaningOfWord;
  std::unordered_map<std::string, unsigned> numbers;
  std::unordered_map<unsigned, std::vector<std::string>> wordsOfNumber;
};

const BuiltIn& builtIn() {
  static const BuiltIn table = [] {
    BuiltIn read;
    std::string head;
    std::vector<std::string> words;
    for (std::string_view text : {kVocabularyFormsText, kVocabularyInstrumentsText,
                                  kVocabularyVoicesText, kVocabularyTempoText}) {
      forEachLine(text, [&](std::string_view line) {
        if (!splitLine(line, head, words)) return;
        for (const std::string& word : words)
          read.meaningOfWord.emplace(word, read.meanings.size());
        read.meanings.push_back({head, words});
      });
    }
    forEachLine(kNumberWordsText, [&](std::string_view line) {
      unsigned number = 0;
      if (!splitLine(line, head, words)) return;
      const auto [end, error] = std::from_chars(head.data(), head.data() + head.size(), number);
      if (error != std::errc() || number == 0) return;
      for (const std::string& word : words) read.numbers.emplace(word, number);
      read.wordsOfNumber[number] = words;
    });
    return read;
  }();
  return table;
}

}  // namespace

const WordMeaning* meaningOf(std::string_view folded) {
  const BuiltIn& table = builtIn();
  const auto found = table.meaningOfWord.find(std::string(folded));
  return found == table.meaningOfWord.end() ? nullptr : &table.meanings[found->second];
}

unsigned numberNamed(std::string_view folded) {
  const BuiltIn& table = builtIn();
  const auto found = table.numbers.find(std::string(folded));
  return found == table.numbers.end() ? 0 : found->second;
}

std::vector<std::vector<std::string>> numberSpellings(unsigned number) {
  constexpr unsigned kLastRoman = 3999;
  std::vector<std::vector<std::string>> spellings = {{std::to_string(number)}};
  if (number <= kLastRoman) {
    for (const std::string_view word : kNumberWords)
      spellings.push_back({std::string(word), roman(number)});
  }
  const auto words = builtIn().wordsOfNumber.find(number);
  if (words != builtIn().wordsOfNumber.end()) {
    for (const std::string& word : words->second) spellings.push_back({word});
  }
  return spellings;
}

std::vector<std::string> vocabularyWords() {
  std::vector<std::string> words;
  for (const WordMeaning& meaning : builtIn().meanings)
    words.insert(words.end(), meaning.forms.begin(), meaning.forms.end());
  return words;
}

}  // namespace indicizza
