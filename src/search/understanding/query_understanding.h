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
#include "search/understanding/reading_note.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

struct UnderstoodQuery {
  // The query to run. Each member of the typed AND stays one member (a word
  // with its alternatives becomes an OR of them; a catalogue number typed
  // as several words becomes one member), save the stop words dropped.
  QueryNode root;
  // What was read how, for the person asking, one note per change made
  // (worded by presentation/reading_notes.h).
  std::vector<ReadingNote> notes;
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

}  // namespace indicizza
