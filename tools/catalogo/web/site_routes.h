// The addresses of `catalogo servi` and what each asks for:
//   GET /                      the search form
//   GET /?q=QUERY&da=N&ordina=O  a page of 20 results from the N-th on, in
//                              order O (rilevanza, numero, T1 ... T7;
//                              rilevanza when not given)
//   GET /record/N              record N, field by field, with its index terms
//   GET /api/cerca?q=&da=&limite=&ordina=   one page as JSON (jsonPage), for scripts
//   GET /scarica.csv?q=&ordina=, /scarica.tsv?q=&ordina=   every result of
//                              the search, in the columns of `catalogo
//                              esporta` (exportRow), written while sent
//   GET /stile.css             the stylesheet
// HEAD is answered as GET (the HTTP layer leaves the body out). A query
// longer than kMaxQueryBytes, a `da` past kLastBrowsableResult, a `limite`
// above kMaxApiLimit, an unknown `ordina` or a query that does not parse is refused with 400
// without reading anything; an unknown address is a 404 page.
//
// planOf is cheap (no file is read): the server calls it where it watches
// its connections, and hands a CatalogueReading to a worker thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "catalogo/web/web_exchange.h"
#include "input/decoded_record.h"
#include "search/presentation/result_formats.h"
#include "search/query/query_parser.h"
#include "search/search.h"

namespace indicizza::catalogo {

inline constexpr std::size_t kMaxQueryBytes = 500;
inline constexpr std::uint64_t kMaxApiLimit = 100;
inline constexpr std::string_view kCsvDownloadPath = "/scarica.csv";
inline constexpr std::string_view kTsvDownloadPath = "/scarica.tsv";

// A request that needs the catalogue's databases.
struct CatalogueReading {
  enum class Kind { kSearchPage, kApi, kRecord, kDownload };
  Kind kind = Kind::kSearchPage;
  // kSearchPage, kApi, kDownload: the query as typed, parsed, and the
  // page asked for (a download: every result).
  // kRecord: the search the record was found by, when its address says
  // (query empty when not): the record page leads back to it.
  std::string query;
  std::optional<ParsedQuery> parsed;
  std::uint64_t from = 1;
  std::uint64_t limit = 0;
  SortOrder order;
  // Whether the results' facets are counted: always for the page; for the
  // API when faccette=1 asks.
  bool facets = false;
  // kDownload: csv or tsv.
  OutputFormat format = OutputFormat::kCsv;
  // kRecord: the record's number, as written in the address and as read.
  std::string recordText;
  RecordNumber record = 0;
};

// What a GET or HEAD request gets: an answer made at once, or a reading
// of the catalogue (exactly one of the two is set).
struct RoutePlan {
  std::optional<WebAnswer> answer;
  std::optional<CatalogueReading> reading;
};

RoutePlan planOf(const WebRequest& request);

}  // namespace indicizza::catalogo
