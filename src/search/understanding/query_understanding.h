// From what people type to what the index holds: a parsed query rewritten so
// that runQuery (search.h) finds what was meant. Stop words outside phrases
// are dropped, catalogue numbers typed loosely ("op. 37") become the codes
// the records store (OP37), numbers that are no code are checked in the
// text of the records the other words find, and each word also stands for
// the index terms with its stem and for its synonyms. The rules as the
// catalogue's users are told them are in docs/search.md.
//
// A program that serves searches loads a QueryVocabulary once
// (query_vocabulary.h), then for each request:
//   QueryParse parse = parseQuery(text);
//   UnderstoodQuery understood;
//   Status status = understandQuery(*parse.query, databases.index,
//                                   vocabulary, {}, understood);
//   runQuery(databases, understood.root, options, result);
// and shows understood.notes (the parser's among them); when a word is unknown
// (understood.unknownWords) or nothing is found, it may offer
// suggestCorrection (suggestions.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "search/query/query.h"
#include "search/query/query_parser.h"
#include "search/understanding/query_vocabulary.h"

namespace indicizza {

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

struct UnderstoodQuery {
  // The query to run. Each member of the typed AND stays one member (a word
  // with its alternatives becomes an OR of them; a catalogue number typed
  // as several words becomes one member), save the stop words dropped.
  QueryNode root;
  // Sentences in Italian for the person asking, one per change made.
  std::vector<std::string> notes;
  // The query words (as typed, UTF-8) of which the index holds neither the
  // word nor any of its alternatives, in query order; stop words, codes and
  // excluded words are not listed.
  std::vector<std::string> unknownWords;
};

// Rewrites `parsed` (parseQuery's tree) into `understood`, reading the keys
// of `index` (opere.idb, open read-only). Every record the rewritten tree
// matches carries what it asks on its own text (runQuery checks it), and
// every change comes with a note. Terms under a NOT and quoted phrases are
// left as typed. Fails with kNoHandle or kReadFailed when the index can't be
// read, kDamaged when its keys come out of order; `understood` then holds
// the query as typed.
Status understandQuery(const QueryNode& parsed, ReadOnlyDatabase& index,
                       const QueryVocabulary& vocabulary, const UnderstandingLimits& limits,
                       UnderstoodQuery& understood);

// The same for a whole ParsedQuery: `understood.notes` then starts with the
// parser's notes that still hold, so that a front end shows that one list.
// The parser's note that an item holding separators ("op.37") is searched as
// a phrase no longer holds once the item is read as a catalogue number.
Status understandQuery(const ParsedQuery& parsed, ReadOnlyDatabase& index,
                       const QueryVocabulary& vocabulary, const UnderstandingLimits& limits,
                       UnderstoodQuery& understood);

// An index term (Latin-1, as the indexer wrote it) as a note or a
// suggestion shows it: a-z in lower case, in UTF-8.
std::string shownTerm(std::string_view latin1);

// A member of an AND that asks `node` of the records the AND's other
// members propose, and proposes none itself (runQuery takes candidates only
// from the members that are not negations): NOT(AND(NOT(node))). For a
// number in a title, which the index never holds.
QueryNode checkedOnRecordText(QueryNode node);

// Whether `node` was made by checkedOnRecordText.
bool isCheckedOnRecordText(const QueryNode& node);

}  // namespace indicizza
