#include "indexing/word_index.h"

namespace indicizza {

IndexEntry makeIndexEntry(const DecodedRecord& record) {
  return {recordNumberOf(record), kindCodeOf(record)};
}

void WordIndex::add(std::string_view term, const IndexEntry& entry) {
  auto it = terms_.find(term);
  if (it == terms_.end()) it = terms_.emplace(std::string(term), std::vector<IndexEntry>()).first;
  it->second.push_back(entry);
}

void indexRecord(const DecodedRecord& record, const StopWordSet& stopWords, WordIndex& index) {
  TermList terms;
  extractTerms(record, stopWords, terms);
  const IndexEntry entry = makeIndexEntry(record);
  for (std::size_t i = 0; i < terms.size(); ++i) index.add(terms[i], entry);
}

}  // namespace indicizza
