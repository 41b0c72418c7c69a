// How the catalogue tools show records and terms on the terminal: catalogue
// bytes are Latin-1 and are written out as UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/decoded_record.h"

namespace indicizza {

// Latin-1 bytes of the catalogue (a term, a field) as UTF-8 text.
std::string displayText(std::string_view latin1);

// The kind code's bytes up to its first zero byte ("AR", "a", or "").
std::string kindCodeText(const KindCode& code);

// The record field by field as (NAME, VALUE) pairs, VALUE in UTF-8 with
// every byte kept (the web page escapes it for HTML): the
// layout fields in column order (text and code fields as the indexer reads
// them, every field without its padding), then "Numero" and "Tipo indice",
// the record number and kind code the indexer takes from it.
std::vector<std::pair<std::string, std::string>> namedFieldValues(const DecodedRecord& record);

// The record field by field, one "NAME  VALUE" line each in layout column
// order (text and code fields as the indexer reads them, without padding),
// then the record number and kind code the indexer takes from it. For a
// terminal: control bytes are written as escapes (see terminal_text.h).
std::string fieldListing(const DecodedRecord& record);

}  // namespace indicizza
