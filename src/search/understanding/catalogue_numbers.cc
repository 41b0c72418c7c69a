#include "search/understanding/catalogue_numbers.h"

#include <algorithm>

#include "indexing/byte_classes.h"
#include "search/understanding/catalogue_number_aliases_text.h"

namespace indicizza {
namespace {

constexpr char kComment = '#';
constexpr std::string_view kPartMark = "part:";
constexpr std::string_view kRomanLetters = "IVXLCDM";

bool isLetter(char c) {
  const char upper = asciiUpper(c);
  return upper >= 'A' && upper <= 'Z';
}

bool allOf(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

bool isLetters(std::string_view text) { return allOf(text, isLetter); }
bool isNumber(std::string_view text) { return allOf(text, isDigit); }

bool isRoman(std::string_view upper) {
  return !upper.empty() && upper.find_first_not_of(kRomanLetters) == std::string_view::npos;
}

std::string upperOf(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = asciiUpper(c);
  return upper;
}

std::vector<std::string> wordsOf(std::string_view line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > at) words.push_back(upperOf(line.substr(at, end - at)));
    at = end;
  }
  return words;
}

// The prefix and number of a token that runs them together ("k331").
bool splitJoined(std::string_view token, std::string& prefix, std::string& number) {
  std::size_t digits = 0;
  while (digits < token.size() && isLetter(token[digits])) ++digits;
  if (digits == 0 || !isNumber(token.substr(digits))) return false;
  prefix = upperOf(token.substr(0, digits));
  number = token.substr(digits);
  return true;
}

}  // namespace

const std::vector<std::string>* aliasGroupOf(const CatalogueNumberAliases& aliases,
                                             std::string_view prefix) {
  for (const std::vector<std::string>& group : aliases.prefixGroups) {
    if (std::find(group.begin(), group.end(), prefix) != group.end()) return &group;
  }
  return nullptr;
}

bool isPartWord(const CatalogueNumberAliases& aliases, std::string_view word) {
  return std::find(aliases.partWords.begin(), aliases.partWords.end(), word) !=
         aliases.partWords.end();
}

CatalogueNumberAliases parseCatalogueNumberAliases(std::string_view text, std::string& error) {
  CatalogueNumberAliases aliases;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == kComment) continue;
    const bool parts = line.starts_with(kPartMark);
    if (parts) line.remove_prefix(kPartMark.size());
    std::vector<std::string> words = wordsOf(line);
    for (const std::string& word : words) {
      if (!isLetters(word)) {
        error =
            "riga " + std::to_string(lineNumber) + ": '" + word + "' non è fatto di sole lettere";
        return {};
      }
    }
    if (words.empty()) continue;
    if (parts) {
      aliases.partWords.insert(aliases.partWords.end(), words.begin(), words.end());
    } else {
      aliases.prefixGroups.push_back(std::move(words));
    }
  }
  return aliases;
}

const CatalogueNumberAliases& builtInCatalogueNumberAliases() {
  static const CatalogueNumberAliases table = [] {
    std::string error;
    return parseCatalogueNumberAliases(kCatalogueNumberAliasText, error);
  }();
  return table;
}

std::optional<TypedCatalogueNumber> catalogueNumberAt(const std::vector<std::string>& tokens,
                                                      const CatalogueNumberAliases& aliases) {
  TypedCatalogueNumber typed;
  std::size_t at = 0;
  if (tokens.empty()) return std::nullopt;
  if (splitJoined(tokens[0], typed.prefix, typed.number)) {
    at = 1;
  } else if (isLetters(tokens[0])) {
    typed.prefix = upperOf(tokens[0]);
    at = 1;
    const bool known = aliasGroupOf(aliases, typed.prefix) != nullptr;
    if (known && at + 1 < tokens.size() && isRoman(upperOf(tokens[at])) &&
        isNumber(tokens[at + 1])) {
      typed.roman = upperOf(tokens[at++]);
    }
    if (at >= tokens.size() || !isNumber(tokens[at])) return std::nullopt;
    typed.number = tokens[at++];
  } else {
    return std::nullopt;
  }
  if (isPartWord(aliases, typed.prefix)) return std::nullopt;
  typed.known = aliasGroupOf(aliases, typed.prefix) != nullptr;
  if (at + 1 < tokens.size() && isPartWord(aliases, upperOf(tokens[at])) &&
      isNumber(tokens[at + 1])) {
    typed.partWord = upperOf(tokens[at]);
    typed.part = tokens[at + 1];
    at += 2;
  }
  typed.tokens = at;
  return typed;
}

std::vector<std::string> codeFormsOf(const TypedCatalogueNumber& typed,
                                     const CatalogueNumberAliases& aliases, bool withoutPart) {
  const std::vector<std::string>* group = aliasGroupOf(aliases, typed.prefix);
  const std::vector<std::string> prefixes = group ? *group : std::vector<std::string>{typed.prefix};
  std::vector<std::string> forms;
  for (const std::string& prefix : prefixes) {
    const std::string base = prefix + typed.roman + typed.number;
    if (typed.part.empty() || withoutPart) {
      forms.push_back(base);
      continue;
    }
    for (const std::string& partWord : aliases.partWords)
      forms.push_back(base + partWord + typed.part);
  }
  return forms;
}

}  // namespace indicizza
