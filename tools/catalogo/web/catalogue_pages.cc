#include "catalogo/web/catalogue_pages.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/record_page.h"
#include "catalogo/web/search_page.h"
#include "catalogo/web/web_answers.h"
#include "search/meant_search.h"
#include "search/record_terms.h"
#include "search/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kRecordPath = "/record/";

// The outcome of one search: a result, or the status and message of why not.
struct SearchOutcome {
  int status = kOk;
  std::string error;
  std::optional<SearchResult> result;
  SearchOptions options;
  MeantSearch meant;  // how the query was read, and the correction run or offered
};

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
    return runMeantSearch(databases, vocabulary, reading.query, *reading.parsed, outcome.options,
                          outcome.result.emplace(), outcome.meant);
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
  content.error = outcome.error;
  if (outcome.result) content.result = &*outcome.result;
  return htmlAnswer(outcome.status, searchPage(content));
}

WebAnswer apiAnswer(const SearchOutcome& outcome) {
  if (!outcome.result) return jsonError(outcome.status, outcome.error);
  WebAnswer answer;
  answer.contentType = kJson;
  answer.body = jsonPage(*outcome.result, outcome.options, outcome.meant.ranText);
  return answer;
}

WebAnswer recordAnswer(const CatalogueReading& reading, CatalogueAccess& catalogue) {
  const std::string path = std::string(kRecordPath) + reading.recordText;
  std::optional<DecodedRecord> record;
  std::vector<std::string> terms;
  const ReadOutcome read =
      catalogue.read("Record " + reading.recordText, [&](SearchDatabases& databases) {
        Status found = fetchWholeRecord(databases.data, reading.record, databases.key, record);
        if (found.ok() && record) found = termsIndexedFor(databases.index, *record, terms);
        return found;
      });
  if (read.end != ReadEnd::kDone) return errorAnswer(kUnavailable, unreadableText(read.text), path);
  if (!record) return errorAnswer(kNotFound, "Record " + reading.recordText + " non trovato", path);
  return htmlAnswer(kOk, recordPage(*record, terms));
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
