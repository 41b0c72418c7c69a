// A search as a front end runs it for a person: the query read as meant
// (query_understanding.h), and, when one of its words is found nowhere, the
// likeliest correction (suggestions.h), run in its place when the query as
// typed finds nothing and the correction finds something. Nothing here
// prints.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "search/understanding/query_vocabulary.h"
#include "search/understanding/reading_note.h"
#include "search/understanding/suggestions.h"

namespace indicizza {

struct MeantSearch {
  // The query that was run (UTF-8): the one typed, or the suggestion's text;
  // and its tree as run (read as meant), for a second pass over the same
  // results.
  std::string ranText;
  QueryNode ranRoot;
  // The notes of the query that was run (understandQuery's, the parser's
  // among them), worded by presentation/reading_notes.h.
  std::vector<ReadingNote> notes;
  // The correction offered, when a word of the typed query is found
  // nowhere and a correction is clearly likelier than the others.
  std::optional<Suggestion> suggestion;
  // The results are the suggestion's: the query as typed found nothing.
  bool ranSuggestion = false;
};

// Runs `text` (parsed into `parsed`) as runQuery does, into `result`, after
// reading it as meant with `vocabulary`; under Matching::kExact it is run as
// typed. When some word is found nowhere and a correction is offered, the
// typed query is first tried for one result (no records handed to
// options.onPageRecord), and when it has none and the correction has some,
// the correction is run instead. Fails as understandQuery,
// suggestCorrection and runQuery do.
Status runMeantSearch(SearchDatabases& databases, const QueryVocabulary& vocabulary,
                      std::string_view text, const ParsedQuery& parsed,
                      const SearchOptions& options, SearchResult& result, MeantSearch& meant);

}  // namespace indicizza
