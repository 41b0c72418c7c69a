// Catalogue numbers as people type them ("bwv 1009", "op. 37", "k331",
// "hob. xvi 52", "op 27 no 2") and the code forms a record stores them in
// (BWV1009, OP37): the prefix table, the recognition of a typed number in a
// run of query tokens, and the codes it may stand for. Plain data and pure
// functions; the index is asked elsewhere (query_understanding.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

// Which catalogue prefixes are the same catalogue (K and KV, OP and OPUS),
// and which words bring in the number of a part (NO, NR). Every word is
// upper-case ASCII.
struct CatalogueNumberAliases {
  std::vector<std::vector<std::string>> prefixGroups;
  std::vector<std::string> partWords;
};

// The group `prefix` (upper-case) belongs to, or null when the table does not
// list it.
const std::vector<std::string>* aliasGroupOf(const CatalogueNumberAliases& aliases,
                                             std::string_view prefix);
bool isPartWord(const CatalogueNumberAliases& aliases, std::string_view word);

// Reads the table's text (the form of data/catalogue-number-aliases.txt: one
// group of prefixes per line, "part:" before the part words, '#' comments).
// Words are upper-cased (a-z). A line with a byte that is not a letter, a
// blank or the "part:" mark is refused: `error` names it and the table is
// left empty.
CatalogueNumberAliases parseCatalogueNumberAliases(std::string_view text, std::string& error);

// The table built into the program from data/catalogue-number-aliases.txt.
const CatalogueNumberAliases& builtInCatalogueNumberAliases();

// A catalogue number recognised at the front of a run of query tokens.
struct TypedCatalogueNumber {
  std::string prefix;      // upper-case letters: "OP"
  std::string roman;       // a Roman-numeral volume between prefix and number: "XVI", or ""
  std::string number;      // digits: "27"
  std::string partWord;    // upper-case, "" when no part was typed: "NO"
  std::string part;        // digits
  std::size_t tokens = 0;  // how many of the tokens it takes
  bool known = false;      // the prefix is in the table
};

// Whether `tokens` (Latin-1, as typed) start with a catalogue number:
//   a word of letters and a number ("bwv", "1009"), or the two run together
//   ("k331"); for a prefix of the table a Roman numeral may come between
//   ("hob", "xvi", "52");
//   then, optionally, a part word of the table and a number ("no", "2").
// A part word is never a prefix. Numbers are digits only.
std::optional<TypedCatalogueNumber> catalogueNumberAt(const std::vector<std::string>& tokens,
                                                      const CatalogueNumberAliases& aliases);

// The codes `typed` may be stored as, most precise first: with a part, each
// prefix of its group followed by the number and each part word and the
// part (OP27NO2, OPUS27NR2, ...); without one, or with `withoutPart`, each
// prefix followed by the volume and the number (OP27, OPUS27).
std::vector<std::string> codeFormsOf(const TypedCatalogueNumber& typed,
                                     const CatalogueNumberAliases& aliases, bool withoutPart);

}  // namespace indicizza
