#include "indexing/word_index.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace indicizza {
namespace {

constexpr std::size_t kMaxEntries = std::numeric_limits<std::uint32_t>::max();

}  // namespace

IndexEntry makeIndexEntry(const DecodedRecord& record) {
  return {recordNumberOf(record), kindCodeOf(record)};
}

void WordIndex::noteEntry(const IndexEntry& entry) {
  if (entries_.empty() || !(entries_.back() == entry)) {
    if (entries_.size() >= kMaxEntries) throw std::length_error("too many index entries");
    entries_.push_back(entry);
    entryFirstAddition_.push_back(additionTerms_.size());
  }
}

void WordIndex::addInterned(TermTable::TermId id) {
  if (id == termEntryCounts_.size()) termEntryCounts_.push_back(0);
  if (termEntryCounts_[id] == std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("too many entries for one term");
  }
  ++termEntryCounts_[id];
  additionTerms_.push_back(id);
}

void WordIndex::add(std::string_view term, const IndexEntry& entry) {
  noteEntry(entry);
  addInterned(terms_.intern(term));
}

void WordIndex::add(const TermList& terms, const IndexEntry& entry) {
  if (terms.size() == 0) return;
  noteEntry(entry);
  for (std::size_t i = 0; i < terms.size(); ++i) terms_.prefetch(terms.hash(i));
  for (std::size_t i = 0; i < terms.size(); ++i)
    addInterned(terms_.intern(terms[i], terms.hash(i)));
}

void WordIndex::forEachTerm(const TermVisitor& visit) const {
  const std::size_t termCount = terms_.size();

  // Where each term's array starts in one array of entry numbers, then the
  // entry numbers dealt out to their terms in order of arrival.
  LargeVector<std::size_t> next(termCount);
  std::exclusive_scan(termEntryCounts_.begin(), termEntryCounts_.end(), next.begin(),
                      std::size_t{0});
  LargeVector<std::uint32_t> entryNumbers(additionTerms_.size());
  for (std::size_t e = 0; e < entries_.size(); ++e) {
    const std::size_t end =
        e + 1 < entries_.size() ? entryFirstAddition_[e + 1] : additionTerms_.size();
    for (std::size_t a = entryFirstAddition_[e]; a < end; ++a) {
      entryNumbers[next[additionTerms_[a]]++] = static_cast<std::uint32_t>(e);
    }
  }

  // std::string_view compares as unsigned bytes (char_traits<char> is
  // memcmp-based), so a prefix sorts before its extensions.
  LargeVector<TermTable::TermId> order(termCount);
  std::iota(order.begin(), order.end(), TermTable::TermId{0});
  std::sort(order.begin(), order.end(), [&](TermTable::TermId a, TermTable::TermId b) {
    return terms_.text(a) < terms_.text(b);
  });

  std::vector<IndexEntry> array;
  for (const TermTable::TermId id : order) {
    array.clear();
    // Dealing the entry numbers out left next[id] at the end of the array.
    for (std::size_t i = next[id] - termEntryCounts_[id]; i < next[id]; ++i) {
      array.push_back(entries_[entryNumbers[i]]);
    }
    if (!visit(terms_.text(id), array)) return;
  }
}

void indexRecord(const DecodedRecord& record, const StopWordSet& stopWords, WordIndex& index,
                 TermList& terms) {
  extractTerms(record, stopWords, terms);
  indexRecordTerms(record, terms, index);
}

void indexRecordTerms(const DecodedRecord& record, const TermList& terms, WordIndex& index) {
  index.add(terms, makeIndexEntry(record));
}

}  // namespace indicizza
