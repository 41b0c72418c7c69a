#include "catalogo/web/catalogue_pages.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/record_page.h"
#include "catalogo/web/search_page.h"
#include "catalogo/web/web_answers.h"
#include "catalogue/files/stop_word_file.h"
#include "search/presentation/facets.h"
#include "search/presentation/reading_notes.h"
#include "search/presentation/record_terms.h"
#include "search/presentation/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kRecordPath = "/record/";

// The outcome of one search: an answer, or the status and message of why not.
struct SearchOutcome {
  int status = kOk;
  std::string error;
  SearchOptions options;
  SearchAnswer answer;  // its results when `found`; how the query was read in any case
  bool found = false;   // the search ran to its end
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
    SearchRequest request{reading.query, *reading.parsed, catalogue.sideFiles(), outcome.options,
                          std::nullopt};
    if (reading.facets) request.facetRecords = kPageFacetRecords;
    return searchCatalogue(databases, request, outcome.answer);
  });
  switch (read.end) {
    case ReadEnd::kDone: outcome.found = true; return outcome;
    case ReadEnd::kOverBudget:
      outcome.status = kBadRequest;
      outcome.error = read.text;
      break;
    case ReadEnd::kStopped:
      outcome.status = kUnavailable;
      outcome.error = tooSlowText(bounds.deadline);
      if (stop.deadlinePassed() && bounds.pastDeadline)
        bounds.pastDeadline->write(what + ": " + outcome.error);
      break;
    case ReadEnd::kFailed:
      outcome.status = kUnavailable;
      outcome.error = unreadableText(read.text);
      break;
  }
  return outcome;
}

WebAnswer searchPageAnswer(const CatalogueReading& reading, const SearchOutcome& outcome) {
  const SearchAnswer& answer = outcome.answer;
  SearchPageContent content;
  content.query = reading.query;
  content.from = reading.from;
  content.order = reading.order;
  content.notes = outcome.found
                      ? readingLines(answer.meant, reading.query)
                      : withSuggestion(reading.parsed->notes, answer.meant, reading.query);
  if (!answer.labelsRead.ok()) content.notes.push_back(answer.labelsRead.text());
  content.error = outcome.error;
  if (outcome.found) {
    content.result = &answer.result;
    content.ranQuery = answer.meant.ranText;
    content.ranRoot = &answer.meant.ranRoot;
    content.matching = outcome.options.matching;
  }
  if (answer.facets) content.facets = &*answer.facets;
  content.labels = answer.labels.get();
  return htmlAnswer(outcome.status, searchPage(content));
}

WebAnswer apiAnswer(const CatalogueReading& reading, const SearchOutcome& outcome) {
  if (!outcome.found) return jsonError(outcome.status, outcome.error);
  const SearchAnswer& answer = outcome.answer;
  WebAnswer json;
  json.contentType = kJson;
  json.body = jsonPage(
      answer.result, outcome.options,
      {answer.meant.ranText, &answer.meant.ranRoot, answer.facets ? &*answer.facets : nullptr,
       readingLines(answer.meant, reading.query)});
  return json;
}

WebAnswer recordAnswer(const CatalogueReading& reading, CatalogueAccess& catalogue) {
  const std::string path = std::string(kRecordPath) + reading.recordText;
  std::optional<DecodedRecord> record;
  RecordPageContent content;
  std::shared_ptr<const FieldLabels> labels;
  StopWordSet stopWords;
  const ReadOutcome read =
      catalogue.read("Record " + reading.recordText, [&](SearchDatabases& databases) {
        Status found = fetchWholeRecord(databases.data, reading.record, databases.key, record);
        if (found.ok() && record)
          found = termsIndexedFor(databases.index, *record, content.indexedTerms);
        // A labels file that can't be read leaves the fields under their names.
        if (found.ok() && record && catalogue.sideFiles().labels(labels).ok())
          content.labels = labels.get();
        // Without them, the composer's link is offered as when every word
        // is indexed.
        if (found.ok() && record && loadRegularStopWordFile(stopWords).ok())
          content.stopWords = &stopWords;
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

// Bytes gathered before they go into the stream at once.
constexpr std::size_t kDownloadChunkBytes = 64 * 1024;

}  // namespace

std::optional<WebAnswer> writeDownload(const CatalogueReading& reading, CatalogueAccess& catalogue,
                                       SearchStop& stop, const std::function<bool()>& halted,
                                       const ReadingBounds& bounds, AnswerStream& stream,
                                       const std::function<void()>& begin) {
  bool begun = false;
  bool writing = true;  // the stream takes bytes
  std::string pending = exportHeaderLine(reading.format);
  const std::function<bool()> stopped = [&] { return stop() || halted(); };
  const auto send = [&] {
    if (!begun) begin();
    begun = true;
    writing = writing && stream.write(pending, stopped);
    pending.clear();
  };
  SearchOptions options;
  options.order = reading.order;
  options.limits = bounds.limits;
  options.stop = [&] { return !writing || stopped(); };
  options.onPageRecord = [&](const DecodedRecord& record) {
    if (!writing) return;
    pending += exportRow(reading.format, record);
    if (pending.size() >= kDownloadChunkBytes) send();
  };
  const std::string what = "Scaricamento '" + reading.query + "'";
  const ReadOutcome read = catalogue.read(what, [&](SearchDatabases& databases) {
    SearchAnswer answer;
    return searchCatalogue(
        databases, {reading.query, *reading.parsed, catalogue.sideFiles(), options, std::nullopt},
        answer);
  });
  if (read.end == ReadEnd::kDone) {
    send();
    stream.finish(writing);
    return std::nullopt;
  }
  if (begun) {
    if (read.end == ReadEnd::kStopped && stop.deadlinePassed() && bounds.pastDeadline)
      bounds.pastDeadline->write(what + ": " + tooSlowText(bounds.deadline));
    stream.finish(false);
    return std::nullopt;
  }
  const std::string path(reading.format == OutputFormat::kCsv ? kCsvDownloadPath
                                                              : kTsvDownloadPath);
  switch (read.end) {
    case ReadEnd::kOverBudget: return errorAnswer(kBadRequest, read.text, path);
    case ReadEnd::kStopped: return errorAnswer(kUnavailable, tooSlowText(bounds.deadline), path);
    default: return errorAnswer(kUnavailable, unreadableText(read.text), path);
  }
}

WebAnswer answerReading(const CatalogueReading& reading, CatalogueAccess& catalogue,
                        SearchStop& stop, const ReadingBounds& bounds) {
  if (reading.kind == CatalogueReading::Kind::kRecord) return recordAnswer(reading, catalogue);
  const SearchOutcome outcome = search(reading, catalogue, stop, bounds);
  if (reading.kind == CatalogueReading::Kind::kApi) return apiAnswer(reading, outcome);
  return searchPageAnswer(reading, outcome);
}

}  // namespace indicizza::catalogo
