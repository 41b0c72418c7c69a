// catalogo cerca PAROLA...
#pragma once

#include <string>
#include <vector>

namespace indicizza::catalogo {

// Looks up the terms of every argument (see queryTerms) in opere.idb of the
// current folder and keeps the records listed under all of them (by record
// number, each once). Writes one summaryLine per record in number order,
// with the record read from opere.ddb (a record missing there is shown by
// number and kind code with a note), then "N record trovati"; or "Nessun
// record trovato". Returns kExitFound or kExitNotFound. Throws ToolFailure
// when a database is missing or unreadable. Both databases are opened
// read-only.
int runSearch(const std::vector<std::string>& arguments);

}  // namespace indicizza::catalogo
