// catalogo cifra FILE.tsv
#pragma once

#include <filesystem>

#include "catalogo/tsv_rows.h"

namespace indicizza::catalogo {

// Turns the tab-separated file `tsv` (a header line, then one record per
// line; see tsv_rows.h) into opere.cry of the current folder, each record
// scrambled with the build's key, in line order. Every bad line is reported
// on standard error with its line number and field; opere.cry is replaced
// only when the whole input is good (written under a temporary name, then
// renamed), otherwise left as it was. Progress dots on standard error;
// "N record scritti in opere.cry" at the end. Returns kExitFound; throws
// ToolFailure (after the line messages) when anything was wrong.
int runEncode(const std::filesystem::path& tsv, TextEncoding encoding);

}  // namespace indicizza::catalogo
