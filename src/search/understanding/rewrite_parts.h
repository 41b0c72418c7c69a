// What the readings of a query's members (catalogue_numbers.h for
// numbers, word_forms.h for words) share with the rewrite of one AND that
// calls them (query_understanding.cc): its members as rewritten so far,
// the index's words, the vocabulary, the notes and the cost limits. Plain
// data.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "input/stop_words.h"
#include "search/query/query.h"
#include "search/understanding/reading_note.h"

namespace indicizza {

class IndexWords;               // index_words.h
struct CatalogueNumberAliases;  // catalogue_numbers.h
class Stemmer;                  // stemming.h
struct SynonymGroups;           // synonyms.h
struct WorkNicknames;           // work_nicknames.h

// What one rewrite may cost, so that no query makes it work without end.
struct UnderstandingLimits {
  // Index keys the walk for one stem may look at (the keys that start with
  // the stem); a stem with more is not used.
  std::size_t maxStemKeys = 2'000;
  // Forms one query word may stand for, itself included.
  std::size_t maxAlternatives = 16;
  // Members of one AND or OR that are worked on; the rest are left as typed.
  std::size_t maxMembers = 64;
};

// A member that asks a number of the text of the records the AND's other
// members find: its place among the members, what was typed, and the note
// that says so.
struct CheckedMember {
  std::size_t place;
  QueryNode typed;
  ReadingNote note;
};

// What became of the members of one AND.
struct RewriteGroup {
  std::vector<QueryNode> members;
  std::vector<QueryNode> stopWords;  // left out
  std::vector<CheckedMember> checkedOnly;
};

// What every reading of a member works with. Holds references, which must
// outlive it.
struct Rewriting {
  IndexWords& index;
  // The vocabulary's parts (query_vocabulary.h).
  const StopWordSet& stopWords;
  const CatalogueNumberAliases& aliases;
  const SynonymGroups& synonyms;
  const Stemmer& stemmer;
  const WorkNicknames& nicknames;
  const UnderstandingLimits& limits;
  std::vector<ReadingNote>& notes;
  std::vector<std::string>& unknownWords;  // words found nowhere, as typed
};

}  // namespace indicizza
