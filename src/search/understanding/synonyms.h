// The catalogue's synonyms: sinonimi.txt in the catalogue folder, optional,
// one group of words that a search takes as the same per line ("fugue fuga
// fuge"). Applied on the query side only (query_understanding.h): the index
// keeps what the records say.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

inline constexpr const char* kSynonymFileName = "sinonimi.txt";

// Groups of words in folded form (term_folding.h: upper-case, accents set
// aside), each group two words or more.
struct SynonymGroups {
  std::vector<std::vector<std::string>> groups;
};

// Reads the content of a synonym file (Latin-1, or UTF-8, which is
// converted), its lines taken as cifra takes them (catalogue/text/line_reader.h): words
// are cut at the indexer's separators, so blanks and commas both part
// them; a line starting with '#' is a comment; a line of one word says
// nothing and is left out. A word with a digit is left out (a code is no
// word).
SynonymGroups parseSynonyms(std::string_view content);

// The words `folded` (a folded word) is a synonym of, itself left out, in
// the order of the file; empty when it is in no group.
std::vector<std::string> synonymsOf(const SynonymGroups& synonyms, std::string_view folded);

}  // namespace indicizza
