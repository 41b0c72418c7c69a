// catalogo mostra NUMERO
#pragma once

#include <string>

namespace indicizza::catalogo {

// Writes the record stored under `number` (decimal text, optional sign, a
// 32-bit value) in opere.ddb of the current folder as a fieldListing, after a
// "Record N" line. Not stored: "Record N non trovato", kExitNotFound.
// Throws ToolFailure on a malformed number or a missing/unreadable database.
int runShow(const std::string& number);

// The record number written in `text`, whole: decimal digits with an
// optional sign, within the 32-bit range. Throws ToolFailure otherwise.
int parseRecordNumber(const std::string& text);

}  // namespace indicizza::catalogo
