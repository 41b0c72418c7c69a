// Numbers as people type them: catalogue numbers ("bwv 1009", "op. 37",
// "k331", "hob. xvi 52", "op 27 no 2") read as the codes a record stores
// them in (BWV1009, OP37) and as the titles spell them, and numbers on
// their own, which are codes or numbers in the records' text. The one home
// of catalogue-number reading: the prefix table, the recognition of a
// typed number, its code forms, and the rewrite of the query's members
// that typed it. The rules as users are told them: docs/search.md.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "search/query/query.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

// Which catalogue prefixes are the same catalogue (K and KV, OP and OPUS),
// and which words bring in the number of a part (NO, NR). Every word is
// upper-case ASCII.
struct CatalogueNumberAliases {
  std::vector<std::vector<std::string>> prefixGroups;
  std::vector<std::string> partWords;
  // The words of an appendix, between prefix and number ("bwv anh. 117a").
  std::vector<std::string> annexWords;
  // The prefixes whose numbers come in groups, a Roman numeral before the
  // number, which may be typed in Arabic digits ("hob xvi 52", "hob 16/52").
  std::vector<std::string> groupedPrefixes;
  // The prefixes whose numbers only one composer's works carry, with that
  // composer as the composer field names them (lower case): BWV bach.
  std::vector<std::pair<std::string, std::string>> composers;
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
  std::string annex;       // the appendix word, as the table has it: "ANH", or ""
  std::string number;      // digits, perhaps a letter after them: "27", "117A"
  std::string partWord;    // upper-case, "" when no part was typed: "NO"
  std::string part;        // digits
  std::size_t tokens = 0;  // how many of the tokens it takes
  bool known = false;      // the prefix is in the table
};

// Whether `tokens` (Latin-1, as typed) start with a catalogue number:
//   a word of letters and a number ("bwv", "1009"), or the two run together
//   ("k331"); for a prefix of the table a Roman numeral may come between
//   ("hob", "xvi", "52"), and for a grouped prefix its Arabic digits ("hob",
//   "16", "52"); an appendix word may come before the number ("bwv",
//   "anh", "117a"; "anh121");
//   then, optionally, a part word of the table and a number ("no", "2"), or
//   after an opus a second number alone ("op", "10", "3").
// A part word is never a prefix. A number is digits, perhaps one letter
// after them.
std::optional<TypedCatalogueNumber> catalogueNumberAt(const std::vector<std::string>& tokens,
                                                      const CatalogueNumberAliases& aliases);

// The codes `typed` may be stored as, most precise first: with a part, each
// prefix of its group followed by the number and each part word and the
// part (OP27NO2, OPUS27NR2, ...); without one, or with `withoutPart`, each
// prefix followed by the volume, the appendix and the number (OP27,
// OPUS27, BWVANH117A).
std::vector<std::string> codeFormsOf(const TypedCatalogueNumber& typed,
                                     const CatalogueNumberAliases& aliases, bool withoutPart);

// The works of `composer` (lower case, as the composer field names them:
// "beethoven") that carry the catalogue number written `number` ("op. 55",
// "Hob. I:94", "BWV 1046") in a code or in their text, as a query node:
// that composer's records (T1), each checked for the number in any of its
// codes or spellings; nothing when `number` is no catalogue number. For a
// work known by a nickname (work_nicknames.h).
std::optional<QueryNode> worksNumbered(std::string_view composer, std::string_view number,
                                       const CatalogueNumberAliases& aliases);

// Reads a number typed at members[i] of an AND into `group`. A catalogue
// number (a run of plain terms, or one phrase the parser made of an item
// with separators, "op.37") becomes an OR of the codes the index holds for
// it and of the phrases that spell it with another prefix of its group in
// titles; or, when the index holds no such code, the number as a phrase of
// the records' text. A number alone is kept when the index holds it as a
// code, and is otherwise checked on the text of the records the other
// members find (after the stop word typed before it, "no 5"). Each change
// comes with a note. `taken` says how many members it took: 0 when no
// number is there, or a catalogue number is no code and its prefix is no
// prefix of the table. The source of a phrase read as a catalogue number
// goes to `fromPhrases` (the parser's note on it no longer holds). Fails
// when the index can't be read.
Status readNumber(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                  RewriteGroup& group, std::size_t& taken, std::vector<std::string>& fromPhrases);

}  // namespace indicizza
