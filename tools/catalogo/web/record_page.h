// The record page of `catalogo servi` (/record/N): every field of the
// record under its name (and its label, when the catalogue gives one), as
// `catalogo mostra` shows it, and the terms the index files the record
// under; links back to the search it was found by and to the other works
// of its composer.
#pragma once

#include <string>
#include <vector>

#include "catalogue/forms/field_labels.h"
#include "input/decoded_record.h"
#include "input/stop_words.h"
#include "search/search.h"

namespace indicizza::catalogo {

struct RecordPageContent {
  const DecodedRecord* record = nullptr;
  std::vector<std::string> indexedTerms;  // as termsIndexedFor gives them (Latin-1)
  const FieldLabels* labels = nullptr;    // the catalogue's labels, when read
  // The stop words of noused.txt, when read: a composer whose name holds no
  // other word (nor any but numbers) can't be searched for, and gets no link.
  const StopWordSet* stopWords = nullptr;
  // The search the record was found by (query empty: none), to lead back.
  std::string query;
  std::uint64_t from = 1;
  SortOrder order;
};

// The whole page. Every value from the catalogue is escaped.
std::string recordPage(const RecordPageContent& content);

}  // namespace indicizza::catalogo
