#include "search/understanding/meant_search.h"

#include "search/understanding/query_understanding.h"

namespace indicizza {
namespace {

// Whether `root` finds at least one record, with no record handed on.
Status findsSomething(SearchDatabases& databases, const QueryNode& root,
                      const SearchOptions& options, bool& found) {
  SearchOptions probe = options;
  probe.countOnly = false;
  probe.from = 1;
  probe.limit = 1;
  probe.partialsUpTo = 0;
  probe.onPageRecord = nullptr;
  probe.onPartialsBegin = nullptr;
  SearchResult result;
  const Status searched = runQuery(databases, root, probe, result);
  found = result.total != 0;
  return searched;
}

// Which of the typed query, read as meant, and its correction to run, into
// `meant` (see runMeantSearch): the correction only when the typed query
// finds nothing and the correction finds something.
Status chooseWhatToRun(SearchDatabases& databases, const QueryVocabulary& vocabulary,
                       std::string_view text, const ParsedQuery& parsed,
                       const SearchOptions& options, MeantSearch& meant) {
  if (options.matching == Matching::kExact) {
    for (const std::string& note : parsed.notes)
      meant.notes.push_back({ReadingNote::Kind::kParser, note, {}, "", ""});
    meant.ranRoot = parsed.root;
    return {};
  }
  UnderstoodQuery understood;
  Status status = understandQuery(parsed, databases.index, vocabulary, {}, understood);
  if (!status.ok()) return status;
  meant.notes = understood.notes;
  meant.ranRoot = understood.root;
  if (understood.unknownWords.empty()) return {};
  status = suggestCorrection(text, parsed.root, understood, databases.index, {}, meant.suggestion);
  if (!status.ok() || !meant.suggestion) return status;
  UnderstoodQuery corrected;
  status = understandQuery(meant.suggestion->root, databases.index, vocabulary, {}, corrected);
  bool typedFinds = false;
  bool correctedFinds = false;
  for (const UnderstoodQuery* tried : {&understood, &corrected}) {
    if (!status.ok() || typedFinds) break;
    bool& finds = tried == &understood ? typedFinds : correctedFinds;
    status = findsSomething(databases, tried->root, options, finds);
  }
  if (!status.ok()) return status;
  if (!typedFinds && !correctedFinds) meant.suggestion.reset();  // it would mislead
  if (typedFinds || !correctedFinds) return {};
  meant.ranSuggestion = true;
  meant.ranText = meant.suggestion->text;
  meant.notes = corrected.notes;
  meant.ranRoot = std::move(corrected.root);
  return {};
}

}  // namespace

Status runMeantSearch(SearchDatabases& databases, const QueryVocabulary& vocabulary,
                      std::string_view text, const ParsedQuery& parsed,
                      const SearchOptions& options, SearchResult& result, MeantSearch& meant) {
  meant = MeantSearch();
  meant.ranText = std::string(text);
  result = SearchResult();
  const Status chosen = chooseWhatToRun(databases, vocabulary, text, parsed, options, meant);
  if (!chosen.ok()) return chosen;
  return runQuery(databases, meant.ranRoot, options, result);
}

}  // namespace indicizza
