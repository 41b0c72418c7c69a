// The search page of `catalogo servi`: the form (with the choice of order
// and a short help on the query language), then, for a query, its count
// line, one page of results (the words the query matched marked) linking
// to their record pages, the partial results apart under their own count
// line, links to the other pages, and beside them the results' timeline
// (each bar a link of class "anno" that narrows the search to its years)
// and facets, each value a link that narrows the search; when nothing at
// all is found, tips on what to try.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/forms/field_labels.h"
#include "search/presentation/facets.h"
#include "search/query/query.h"
#include "search/search.h"

namespace indicizza::catalogo {

inline constexpr std::uint64_t kResultsPerPage = 20;
// Pages go no further than this result: a page reads every record before
// it (a page at the 10000th result of a common word took about a second
// on the million-record catalogue), and fifty pages are plenty to browse.
inline constexpr std::uint64_t kLastBrowsableResult = 1000;

struct SearchPageContent {
  std::string query;                     // as typed (UTF-8); empty: the form alone
  std::vector<std::string> notes;        // remarks on the query (query_parser.h)
  std::string error;                     // why there are no results to show, or ""
  const SearchResult* result = nullptr;  // the page of results, when searched
  std::uint64_t from = 1;                // the first result of the page, 1-based
  SortOrder order;                       // the order asked for (ordina=)
  // For a search that ran: the query as run (a correction's, when it ran
  // in place of the one typed) and its tree, which the marks and the
  // facets' narrowings start from, and its matching.
  std::string ranQuery;
  const QueryNode* ranRoot = nullptr;
  Matching matching = Matching::kFolded;
  const FacetCounts* facets = nullptr;  // the results' facets, when counted
  const FieldLabels* labels = nullptr;  // the catalogue's labels, when read
};

// The address of the record page of `number`, from the search page, with
// the search it was found by (so that the record page can lead back).
// Both addresses are ready for an attribute: & is written &amp;.
std::string recordLink(RecordNumber number, const std::string& query, const SortOrder& order,
                       std::uint64_t from);

// The address of the search page for `query`, in `order`, from result
// `from` on; `toRoot` leads from the page that links to the site's root.
std::string searchLink(std::string_view toRoot, const std::string& query, const SortOrder& order,
                       std::uint64_t from = 1);

// The whole page; every value from the query or the catalogue is escaped.
std::string searchPage(const SearchPageContent& content);

}  // namespace indicizza::catalogo
