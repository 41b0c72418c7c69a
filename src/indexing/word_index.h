// The word index: every term of every scanned record with the entries of the
// records that carry it, held in memory until the index is written.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "indexing/terms.h"
#include "input/decoded_record.h"
#include "input/stop_words.h"

namespace indicizza {

// Which record carries a term, and its kind.
struct IndexEntry {
  RecordNumber recordNumber;
  KindCode kindCode;
  friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// The entry of `record`: its record number and its kind code (with the
// flags' lower-case adjustment).
IndexEntry makeIndexEntry(const DecodedRecord& record);

// Map from term to its entries. Terms are iterated in unsigned byte order, a
// prefix before its extensions; a term's entries stay in the order they were
// added. A term's array is never empty. Owns its terms and arrays.
class WordIndex {
 public:
  // Appends `entry` to the array of `term`, making the term's array when it
  // is new.
  void add(std::string_view term, const IndexEntry& entry);

  std::size_t termCount() const { return terms_.size(); }

  // Calls `visit(term, entries)` for every term in term order, with
  // std::string_view and std::span<const IndexEntry> valid for the call.
  template <typename Visit>
  void forEachTerm(Visit&& visit) const {
    for (const auto& [term, entries] : terms_) {
      visit(std::string_view(term), std::span<const IndexEntry>(entries));
    }
  }

 private:
  // std::string compares as unsigned bytes (char_traits<char> is memcmp-based).
  std::map<std::string, std::vector<IndexEntry>, std::less<>> terms_;
};

// The scan phase's record handler: adds the record's entry under each of its
// terms (extractTerms), in the order they are returned.
void indexRecord(const DecodedRecord& record, const StopWordSet& stopWords, WordIndex& index);

}  // namespace indicizza
