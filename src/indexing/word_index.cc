#include "indexing/word_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "base/quiet_thread.h"

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

std::string_view TermOrder::term(std::size_t rank) const { return index_->terms_.text(ids_[rank]); }

std::span<const std::uint32_t> TermOrder::entryNumbers(std::size_t rank) const {
  const TermTable::TermId id = ids_[rank];
  return {numbers_.data() + numbersStart_[id], index_->termEntryCounts_[id]};
}

std::span<const IndexEntry> TermOrder::entries() const {
  return {index_->entries_.data(), index_->entries_.size()};
}

void WordIndex::dealEntries(std::size_t fromEntry, std::size_t toEntry,
                            LargeVector<std::size_t>& next,
                            GrowingArray<std::uint32_t>& numbers) const {
  for (std::size_t e = fromEntry; e < toEntry; ++e) {
    const std::size_t end =
        e + 1 < entries_.size() ? entryFirstAddition_[e + 1] : additionTerms_.size();
    for (std::size_t a = entryFirstAddition_[e]; a < end; ++a) {
      numbers[next[additionTerms_[a]]++] = static_cast<std::uint32_t>(e);
    }
  }
}

TermOrder WordIndex::inTermOrder() const {
  const std::size_t termCount = terms_.size();
  TermOrder order(*this);
  order.numbersStart_.resize(termCount);
  order.numbers_.resize(additionTerms_.size());
  order.ids_.resize(termCount);
  std::exclusive_scan(termEntryCounts_.begin(), termEntryCounts_.end(), order.numbersStart_.begin(),
                      std::size_t{0});

  // The entries are dealt out to their terms' places in two halves at once:
  // the second half's places start past the first half's additions of each
  // term.
  const std::size_t half = entries_.size() / 2;
  const std::size_t halfAdditions =
      half < entries_.size() ? entryFirstAddition_[half] : additionTerms_.size();
  LargeVector<std::size_t> firstNext(order.numbersStart_);
  LargeVector<std::size_t> secondNext(order.numbersStart_);
  const auto countFirstHalf = [&] {
    for (std::size_t a = 0; a < halfAdditions; ++a) ++secondNext[additionTerms_[a]];
  };
  // Terms are sorted on their first eight bytes first, held in the sort's
  // array, and on their whole text only where those are equal.
  // std::string_view compares as unsigned bytes (char_traits<char> is
  // memcmp-based), so a prefix sorts before its extensions.
  LargeVector<TermOrderKey> keys(termCount);
  for (TermTable::TermId id = 0; id < termCount; ++id)
    keys[id] = {sortPrefixOf(terms_.text(id)), id};
  const auto sortTerms = [&] {
    std::sort(keys.begin(), keys.end(), [&](const TermOrderKey& a, const TermOrderKey& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      return terms_.text(a.id) < terms_.text(b.id);
    });
  };
  runSideBySide(countFirstHalf, sortTerms);
  runSideBySide([&] { dealEntries(0, half, firstNext, order.numbers_); },
                [&] { dealEntries(half, entries_.size(), secondNext, order.numbers_); });
  for (std::size_t rank = 0; rank < termCount; ++rank) order.ids_[rank] = keys[rank].id;
  return order;
}

void WordIndex::forEachTerm(const TermVisitor& visit) const {
  const TermOrder order = inTermOrder();
  std::vector<IndexEntry> array;
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    array.clear();
    for (const std::uint32_t number : order.entryNumbers(rank)) array.push_back(entries_[number]);
    if (!visit(order.term(rank), array)) return;
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
