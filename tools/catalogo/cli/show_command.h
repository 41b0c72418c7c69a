// catalogo mostra NUMERO...
#pragma once

#include <string>
#include <vector>

#include "search/result_formats.h"

namespace indicizza::catalogo {

// Writes the records stored under `numbers` (decimal text, optional sign,
// 32-bit values; all checked before anything is read) in opere.ddb of the
// current folder, in the order given. In testo each is a "Record N" line
// and its fieldListing, records separated by an empty line; in the other
// formats each is a row with the columns of result_formats.h (after the
// header line). A number not stored gives "Record N non trovato" (on
// standard output in testo, standard error otherwise). Returns kExitFound
// when every number was found, kExitNotFound otherwise. Throws ToolFailure
// on a malformed number or a missing/unreadable database.
int runShow(const std::vector<std::string>& numbers, OutputFormat format);

// The record number written in `text`, whole: decimal digits with an
// optional sign, within the 32-bit range. Throws ToolFailure otherwise.
int parseRecordNumber(const std::string& text);

}  // namespace indicizza::catalogo
