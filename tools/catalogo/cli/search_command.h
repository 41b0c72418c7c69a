// catalogo cerca QUERY...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "search/result_formats.h"
#include "search/term_folding.h"

namespace indicizza::catalogo {

struct SearchCommand {
  std::vector<std::string> query;  // the arguments, joined by blanks
  OutputFormat format = OutputFormat::kText;
  Matching matching = Matching::kFolded;
  bool countOnly = false;
  std::uint64_t from = 1;
  std::optional<std::uint64_t> limit;
};

// Searches opere.idb and opere.ddb of the current folder (read-only) for
// the query (see query_parser.h) and writes the page of results to
// standard output in the chosen format. The count line goes to standard
// output after the records in testo, to standard error in the other
// formats; with countOnly only the number is written, on standard output.
// Notes on the query and the number of stale index entries met go to
// standard error. Returns kExitFound when there is at least one result,
// kExitNotFound when there is none; throws ToolFailure for a query that
// can't be parsed (naming the offending part) or a missing or unreadable
// database.
int runSearch(const SearchCommand& command);

}  // namespace indicizza::catalogo
