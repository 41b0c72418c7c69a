// The word index: every term of every scanned record with the entries of the
// records that carry it, held in memory until the index is written.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "base/large_memory.h"
#include "indexing/term_table.h"
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

class WordIndex;

// A word index laid out in term order: its terms by rank, in unsigned byte
// order (a prefix before its extensions), and for each the numbers of its
// entries in the order they were added. Made by WordIndex::inTermOrder(); it
// reads that index, which must outlive it and not change meanwhile. Any
// number of threads may read it at once. Not copyable; movable.
class TermOrder {
 public:
  TermOrder(TermOrder&&) = default;
  TermOrder(const TermOrder&) = delete;
  TermOrder& operator=(const TermOrder&) = delete;

  std::size_t size() const { return ids_.size(); }
  // The term of `rank` (< size()).
  std::string_view term(std::size_t rank) const;
  // Where the entries of the term of `rank` are in entries(); never empty.
  std::span<const std::uint32_t> entryNumbers(std::size_t rank) const;
  // The entries of the index, each distinct one once.
  std::span<const IndexEntry> entries() const;

 private:
  friend class WordIndex;
  explicit TermOrder(const WordIndex& index) : index_(&index) {}

  const WordIndex* index_;
  LargeVector<std::uint32_t> ids_;         // term ids by rank
  LargeVector<std::size_t> numbersStart_;  // by term id, in numbers_
  GrowingArray<std::uint32_t> numbers_;    // entry numbers, each term's together
};

// Map from term to its entries. Terms are iterated in unsigned byte order, a
// prefix before its extensions; a term's entries stay in the order they were
// added. A term's array is never empty. Owns its terms and arrays.
//
// Built for millions of records: each distinct term is stored once (see
// TermTable); each distinct entry once, in the order of arrival; an addition
// costs one 4-byte term id. The per-term arrays and the term order are made
// only when the index is walked.
class WordIndex {
 public:
  // Appends `entry` to the array of `term`, making the term's array when it
  // is new. Throws std::bad_alloc or std::length_error when memory or the
  // index's counters run out.
  void add(std::string_view term, const IndexEntry& entry);

  // add(terms[i], entry) for each term of the list, in order; faster than
  // one by one, as the lookups of the terms overlap.
  void add(const TermList& terms, const IndexEntry& entry);

  std::size_t termCount() const { return terms_.size(); }

  // The index in term order (see TermOrder), worked out on two threads.
  // Throws std::bad_alloc when memory runs out.
  TermOrder inTermOrder() const;

  // Receives one term and its entries; returns false to end the walk.
  using TermVisitor =
      std::function<bool(std::string_view term, std::span<const IndexEntry> entries)>;

  // Calls `visit(term, entries)` for every term in term order, until it
  // returns false; both views are valid for the call only.
  void forEachTerm(const TermVisitor& visit) const;

 private:
  friend class TermOrder;
  void noteEntry(const IndexEntry& entry);
  void addInterned(TermTable::TermId id);
  void dealEntries(std::size_t fromEntry, std::size_t toEntry, LargeVector<std::size_t>& next,
                   GrowingArray<std::uint32_t>& numbers) const;

  TermTable terms_;

  GrowingArray<std::uint32_t> termEntryCounts_;  // by term id
  // The entries in order of arrival (equal neighbours stored once), and for
  // each the index in additionTerms_ of its first addition.
  GrowingArray<IndexEntry> entries_;
  GrowingArray<std::size_t> entryFirstAddition_;
  GrowingArray<TermTable::TermId> additionTerms_;  // the term of every add()
};

// The scan phase's record handler: adds the record's entry under each of its
// terms (extractTerms), in the order they are returned. `terms` is working
// space, overwritten; one list can serve a whole scan.
void indexRecord(const DecodedRecord& record, const StopWordSet& stopWords, WordIndex& index,
                 TermList& terms);

// indexRecord's second half, for a record whose terms were extracted
// elsewhere (by the scan's walk thread): adds the record's entry under each
// of `terms`, in order.
void indexRecordTerms(const DecodedRecord& record, const TermList& terms, WordIndex& index);

}  // namespace indicizza
