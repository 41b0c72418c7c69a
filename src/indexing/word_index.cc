#include "indexing/word_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace indicizza {
namespace {

constexpr std::size_t kMaxEntries = std::numeric_limits<std::uint32_t>::max();

constexpr std::size_t kSortPrefixBytes = sizeof(std::uint64_t);

// The first eight bytes of `term` (zeros past its end) as a number whose
// order is theirs as unsigned bytes: two terms whose numbers differ are in
// that order.
std::uint64_t sortPrefixOf(std::string_view term) {
  std::array<unsigned char, kSortPrefixBytes> bytes{};
  std::memcpy(bytes.data(), term.data(), std::min(term.size(), kSortPrefixBytes));
  std::uint64_t prefix = 0;
  for (const unsigned char byte : bytes) prefix = prefix << 8 | byte;
  return prefix;
}

// A term in the sort of forEachTerm.
struct TermOrderKey {
  std::uint64_t prefix;  // sortPrefixOf its text
  TermTable::TermId id;
};

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
  for (std::size_t i = 0; i < terms.size(); ++i) terms_.prefetchTerm(terms.hash(i));
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

  // Terms are sorted on their first eight bytes first, held in the sort's
  // array, and on their whole text only where those are equal.
  // std::string_view compares as unsigned bytes (char_traits<char> is
  // memcmp-based), so a prefix sorts before its extensions.
  LargeVector<TermOrderKey> order(termCount);
  for (TermTable::TermId id = 0; id < termCount; ++id)
    order[id] = {sortPrefixOf(terms_.text(id)), id};
  std::sort(order.begin(), order.end(), [&](const TermOrderKey& a, const TermOrderKey& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return terms_.text(a.id) < terms_.text(b.id);
  });

  std::vector<IndexEntry> array;
  for (const auto& [prefix, id] : order) {
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
