// The record page of `catalogo servi` (/record/N): every field of the
// record under its name, as `catalogo mostra` shows it, and the terms the
// index files the record under.
#pragma once

#include <string>
#include <vector>

#include "input/decoded_record.h"

namespace indicizza::catalogo {

// The whole page; `indexedTerms` as termsIndexedFor gives them (Latin-1).
// Every value from the catalogue is escaped.
std::string recordPage(const DecodedRecord& record, const std::vector<std::string>& indexedTerms);

}  // namespace indicizza::catalogo
