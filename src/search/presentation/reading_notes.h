// What a person is told of how a query was read, besides the notes the
// reading itself makes (understanding/query_understanding.h): that the
// results are a correction's, or which correction is offered. The same
// words on the terminal, on the page and in the API.
#pragma once

#include <string>
#include <string_view>

#include "search/understanding/meant_search.h"
#include "search/understanding/suggestions.h"

namespace indicizza {

// The line that says the results are a correction's: "Risultati per
// «bach» (nessun risultato per «bahc»)"; and the one that offers a
// correction without running it: "Forse cercavi: «bach»".
std::string correctedResultsLine(const MeantSearch& meant, std::string_view typed);
std::string suggestionLine(const Suggestion& suggestion);

}  // namespace indicizza
