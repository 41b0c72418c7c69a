#include "catalogo/web/catalogue_pages.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/record_page.h"
#include "catalogo/web/search_page.h"
#include "catalogo/web/web_answers.h"
#include "search/facets.h"
#include "search/meant_search.h"
#include "search/record_terms.h"
#include "search/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kRecordPath = "/record/";

// Results whose facets a page counts at most. Ranking has just read the
// first of them, so they cost little; counting the 100000 that cerca
// counts read for 11 s on the million-record catalogue, past any deadline.
constexpr std::uint64_t kPageFacetRecords = 5'000;

// The outcome of one search: a result, or the status and message of why not.
struct SearchOutcome {
  int status = kOk;
  std::string error;
  std::optional<SearchResult> result;
  SearchOptions options;
  MeantSearch meant;                  // how the query was read, and the correction run or offered
  std::optional<FacetCounts> facets;  // when asked for and counted
  FieldLabels labels;
  std::string labelsError;  // why etichette.txt could not be read, or ""
};

// The facets of the results `outcome` found, into it; none when counting
// them fails (the page is shown without them).
void countFacets(SearchDatabases& databases, const QueryVocabulary& vocabulary,
                 SearchOutcome& outcome) {
  FacetCounter counter(outcome.options.matching, kPageFacetRecords, &vocabulary.stopWords);
  if (countResultFacets(databases, outcome.meant.ranRoot, outcome.options, counter).ok())
    outcome.facets = counter.top();
}

SearchOutcome search(const CatalogueReading& reading, CatalogueAccess& catalogue, SearchStop& stop,
                     const ReadingBounds& bounds) {
  SearchOutcome outcome;
  outcome.options.from = reading.from;
  outcome.options.limit = reading.limit;
  outcome.options.order = reading.order;
  // Partial results fill a page the full ones don't.
  outcome.options.partialsUpTo = reading.limit;
  outcome.options.limits = bounds.limits;
  outcome.options.stop = [&stop] { return stop(); };
  const std::string what = "Ricerca '" + reading.query + "'";
  const ReadOutcome read = catalogue.read(what, [&](SearchDatabases& databases) {
    // Read for each search, so that a change of noused.txt or sinonimi.txt
    // counts at once; both are small.
    QueryVocabulary vocabulary;
    const Status loaded = loadQueryVocabulary(vocabulary);
    if (!loaded.ok()) return loaded;
    const Status searched =
        runMeantSearch(databases, vocabulary, reading.query, *reading.parsed, outcome.options,
                       outcome.result.emplace(), outcome.meant);
    if (!searched.ok() || !reading.facets || outcome.result->total == 0) return searched;
    countFacets(databases, vocabulary, outcome);
    const Status labelled = loadFieldLabels(outcome.labels);
    if (!labelled.ok()) outcome.labelsError = labelled.text();
    return searched;
  });
  switch (read.end) {
    case ReadEnd::kDone: return outcome;
    case ReadEnd::kOverBudget:
      outcome.status = kBadRequest;
      outcome.error = read.text;
      break;
    case ReadEnd::kStopped:
      outcome.status = kUnavailable;
      outcome.error = tooSlowText(bounds.deadline);
      if (stop.deadlinePassed()) catalogue.log(what + ": " + outcome.error);
      break;
    case ReadEnd::kFailed:
      outcome.status = kUnavailable;
      outcome.error = unreadableText(read.text);
      break;
  }
  outcome.result.reset();
  return outcome;
}

WebAnswer searchPageAnswer(const CatalogueReading& reading, const SearchOutcome& outcome) {
  SearchPageContent content;
  content.query = reading.query;
  content.from = reading.from;
  content.order = reading.order;
  content.notes = outcome.result ? outcome.meant.notes : reading.parsed->notes;
  if (outcome.meant.ranSuggestion) {
    content.notes.insert(content.notes.begin(), correctedResultsLine(outcome.meant, reading.query));
  } else if (outcome.meant.suggestion) {
    content.notes.push_back(suggestionLine(*outcome.meant.suggestion));
  }
  if (!outcome.labelsError.empty()) content.notes.push_back(outcome.labelsError);
  content.error = outcome.error;
  if (outcome.result) {
    content.result = &*outcome.result;
    content.ranQuery = outcome.meant.ranText;
    content.ranRoot = &outcome.meant.ranRoot;
    content.matching = outcome.options.matching;
  }
  if (outcome.facets) content.facets = &*outcome.facets;
  content.labels = &outcome.labels;
  return htmlAnswer(outcome.status, searchPage(content));
}

WebAnswer apiAnswer(const SearchOutcome& outcome) {
  if (!outcome.result) return jsonError(outcome.status, outcome.error);
  WebAnswer answer;
  answer.contentType = kJson;
  answer.body = jsonPage(
      *outcome.result, outcome.options,
      {outcome.meant.ranText, &outcome.meant.ranRoot, outcome.facets ? &*outcome.facets : nullptr});
  return answer;
}

WebAnswer recordAnswer(const CatalogueReading& reading, CatalogueAccess& catalogue) {
  const std::string path = std::string(kRecordPath) + reading.recordText;
  std::optional<DecodedRecord> record;
  RecordPageContent content;
  FieldLabels labels;
  const ReadOutcome read =
      catalogue.read("Record " + reading.recordText, [&](SearchDatabases& databases) {
        Status found = fetchWholeRecord(databases.data, reading.record, databases.key, record);
        if (found.ok() && record)
          found = termsIndexedFor(databases.index, *record, content.indexedTerms);
        // A labels file that can't be read leaves the fields under their names.
        if (found.ok() && record && loadFieldLabels(labels).ok()) content.labels = &labels;
        return found;
      });
  if (read.end != ReadEnd::kDone) return errorAnswer(kUnavailable, unreadableText(read.text), path);
  if (!record) return errorAnswer(kNotFound, "Record " + reading.recordText + " non trovato", path);
  content.record = &*record;
  content.query = reading.query;
  content.from = reading.from;
  content.order = reading.order;
  return htmlAnswer(kOk, recordPage(content));
}

}  // namespace

WebAnswer answerReading(const CatalogueReading& reading, CatalogueAccess& catalogue,
                        SearchStop& stop, const ReadingBounds& bounds) {
  if (reading.kind == CatalogueReading::Kind::kRecord) return recordAnswer(reading, catalogue);
  const SearchOutcome outcome = search(reading, catalogue, stop, bounds);
  if (reading.kind == CatalogueReading::Kind::kApi) return apiAnswer(outcome);
  return searchPageAnswer(reading, outcome);
}

}  // namespace indicizza::catalogo
