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

}  // namespace

Status runMeantSearch(SearchDatabases& databases, const QueryVocabulary& vocabulary,
                      std::string_view text, const ParsedQuery& parsed,
                      const SearchOptions& options, SearchResult& result, MeantSearch& meant) {
  meant = MeantSearch();
  meant.ranText = std::string(text);
  if (options.matching == Matching::kExact) {
    meant.notes = parsed.notes;
    meant.ranRoot = parsed.root;
    return runQuery(databases, meant.ranRoot, options, result);
  }
  UnderstoodQuery understood;
  Status status = understandQuery(parsed, databases.index, vocabulary, {}, understood);
  if (!status.ok()) return status;
  meant.notes = understood.notes;
  meant.ranRoot = understood.root;
  if (understood.unknownWords.empty()) return runQuery(databases, meant.ranRoot, options, result);

  status = suggestCorrection(text, parsed.root, understood, databases.index, {}, meant.suggestion);
  if (!status.ok() || !meant.suggestion) {
    return status.ok() ? runQuery(databases, meant.ranRoot, options, result) : status;
  }
  bool typedFinds = false;
  status = findsSomething(databases, understood.root, options, typedFinds);
  if (!status.ok()) return status;
  UnderstoodQuery corrected;
  status = understandQuery(meant.suggestion->root, databases.index, vocabulary, {}, corrected);
  if (!status.ok()) return status;
  bool correctedFinds = false;
  if (!typedFinds) {
    status = findsSomething(databases, corrected.root, options, correctedFinds);
    if (!status.ok()) return status;
  }
  if (!typedFinds && !correctedFinds) meant.suggestion.reset();  // it would mislead
  if (typedFinds || !correctedFinds) return runQuery(databases, meant.ranRoot, options, result);
  meant.ranSuggestion = true;
  meant.ranText = meant.suggestion->text;
  meant.notes = corrected.notes;
  meant.ranRoot = std::move(corrected.root);
  return runQuery(databases, meant.ranRoot, options, result);
}

}  // namespace indicizza
