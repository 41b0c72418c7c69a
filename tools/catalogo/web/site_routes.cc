#include "catalogo/web/site_routes.h"

#include <charconv>

#include "catalogo/web/page_frame.h"
#include "catalogo/web/search_page.h"
#include "catalogo/web/web_answers.h"
#include "catalogue/forms/record_number_text.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kRecordPrefix = "/record/";

// A whole positive number from `text` (digits only) up to `highest`.
std::optional<std::uint64_t> boundedNumber(const std::string& text, std::uint64_t highest) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 1 || value > highest) return std::nullopt;
  return value;
}

bool blank(const std::string& query) { return query.find_first_not_of(' ') == std::string::npos; }

// The query and page a search request asks for into `reading`, or why it
// can't be served (a 400's message).
std::string readSearchArguments(const WebRequest& request, bool limitAllowed,
                                CatalogueReading& reading) {
  reading.query = argumentOf(request, "q").value_or("");
  reading.limit = kResultsPerPage;
  if (reading.query.size() > kMaxQueryBytes) {
    return "Ricerca troppo lunga: " + std::to_string(reading.query.size()) + " byte, al massimo " +
           std::to_string(kMaxQueryBytes);
  }
  if (const auto from = argumentOf(request, "da")) {
    const auto number = boundedNumber(*from, kLastBrowsableResult);
    if (!number) {
      return "Parametro da non valido: un numero da 1 a " + std::to_string(kLastBrowsableResult) +
             " (si possono scorrere solo i primi " + std::to_string(kLastBrowsableResult) +
             " risultati)";
    }
    reading.from = *number;
  }
  if (const auto limit = argumentOf(request, "limite"); limit && limitAllowed) {
    const auto number = boundedNumber(*limit, kMaxApiLimit);
    if (!number)
      return "Parametro limite non valido: un numero da 1 a " + std::to_string(kMaxApiLimit);
    reading.limit = *number;
  }
  if (const auto order = argumentOf(request, "ordina")) {
    const auto named = sortOrderNamed(*order);
    if (!named) return "Parametro ordina non valido: rilevanza, numero oppure T1 ... T7";
    reading.order = *named;
  }
  return "";
}

// Parses `reading.query` into `reading.parsed`; the parser's error when it
// does not parse.
std::string parseInto(CatalogueReading& reading) {
  QueryParse parse = parseQuery(reading.query);
  if (!parse.query) return parse.error;
  reading.parsed = std::move(parse.query);
  return "";
}

// The search page: the form alone, a 400 with the form, or a search.
RoutePlan searchPagePlan(const WebRequest& request) {
  CatalogueReading reading;
  reading.facets = true;
  std::string error = readSearchArguments(request, false, reading);
  std::vector<std::string> notes;
  if (error.empty() && !blank(reading.query)) {
    error = parseInto(reading);
    if (reading.parsed) return {std::nullopt, std::move(reading)};
  }
  SearchPageContent content;
  content.query = reading.query;
  content.from = reading.from;
  content.order = reading.order;
  content.error = error;
  return {htmlAnswer(error.empty() ? kOk : kBadRequest, searchPage(content)), std::nullopt};
}

RoutePlan apiPlan(const WebRequest& request) {
  CatalogueReading reading;
  reading.kind = CatalogueReading::Kind::kApi;
  std::string error = readSearchArguments(request, true, reading);
  if (error.empty() && blank(reading.query)) error = "Parametro q mancante: la ricerca";
  if (const auto facets = argumentOf(request, "faccette"); facets && error.empty()) {
    if (*facets != "0" && *facets != "1") error = "Parametro faccette non valido: 0 oppure 1";
    reading.facets = *facets == "1";
  }
  if (error.empty()) {
    error = parseInto(reading);
    if (reading.parsed) return {std::nullopt, std::move(reading)};
  }
  return {jsonError(kBadRequest, error), std::nullopt};
}

// A download: the search of the page it is offered on, every result.
RoutePlan downloadPlan(const WebRequest& request, OutputFormat format) {
  CatalogueReading reading;
  reading.kind = CatalogueReading::Kind::kDownload;
  reading.format = format;
  std::string error = readSearchArguments(request, false, reading);
  reading.from = 1;
  if (error.empty() && blank(reading.query)) error = "Parametro q mancante: la ricerca";
  if (error.empty()) {
    error = parseInto(reading);
    if (reading.parsed) return {std::nullopt, std::move(reading)};
  }
  return {errorAnswer(kBadRequest, error, request.path), std::nullopt};
}

RoutePlan recordPlan(const WebRequest& request) {
  CatalogueReading reading;
  reading.kind = CatalogueReading::Kind::kRecord;
  reading.recordText = request.path.substr(kRecordPrefix.size());
  const std::optional<RecordNumber> number = recordNumberFromText(reading.recordText);
  if (!number) return {notFound(request.path), std::nullopt};
  reading.record = *number;
  // The search the record was found by, to lead back to; a page address
  // that is no longer valid leads back to nothing rather than failing.
  CatalogueReading search;
  if (readSearchArguments(request, false, search).empty() && !blank(search.query)) {
    reading.query = std::move(search.query);
    reading.from = search.from;
    reading.order = search.order;
  }
  return {std::nullopt, std::move(reading)};
}

}  // namespace

RoutePlan planOf(const WebRequest& request) {
  if (request.path == "/") return searchPagePlan(request);
  if (request.path == "/api/cerca") return apiPlan(request);
  if (request.path.starts_with(kRecordPrefix)) return recordPlan(request);
  if (request.path == kCsvDownloadPath) return downloadPlan(request, OutputFormat::kCsv);
  if (request.path == kTsvDownloadPath) return downloadPlan(request, OutputFormat::kTsv);
  if (request.path == "/stile.css") {
    WebAnswer answer;
    answer.contentType = kCss;
    answer.body = styleSheet();
    return {std::move(answer), std::nullopt};
  }
  return {notFound(request.path), std::nullopt};
}

}  // namespace indicizza::catalogo
