// The search page of `catalogo servi`: the form (with the choice of order
// and a short help on the query language), then, for a query, its count
// line, one page of results linking to their record pages, the partial
// results apart under their own count line, and links to the other pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

// The whole page; every value from the query or the catalogue is escaped.
std::string searchPage(const SearchPageContent& content);

}  // namespace indicizza::catalogo
