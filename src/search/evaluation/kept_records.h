// Records read from one opere.ddb handle, with their views, kept for the
// reads that follow on the same handle. A page of results of a common word
// reads its first SearchLimits::maxRankedRecords candidates to rank them,
// its facets then read the first results again, and the next search of the
// word reads them all once more: kept, each is fetched, descrambled and
// tokenised once.
//
// Entries belong to the file the handle reads, which a search never
// writes: whoever holds the handle drops them with it (search_databases.h
// keeps them beside the handles, and a pool drops the pair when a file is
// replaced). A view is made under one Matching: a lookup under another
// finds nothing. At most kKeptRecordBytes are held, by keptBytesOf; past
// them the entries are all dropped, so the cache follows what is read now.
// A search offers what it read once it ends, and only when that was at most
// kMostKeptReads records (query_run.h).
// Not safe to use from two threads at once (as the handle it sits beside).
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>

#include "input/decoded_record.h"
#include "search/evaluation/record_match.h"
#include "search/query/term_folding.h"

namespace indicizza {

// One record as read, whole, and its view under the cache's Matching.
struct KeptRecord {
  DecodedRecord record;
  RecordView view;
};

// The 5,000 records a page of results by relevance reads, with their views
// (about 5 KiB each for the records of the generated catalogue; a record's
// 524 bytes make at most some 260 tokens), and room to spare.
inline constexpr std::size_t kKeptRecordBytes = std::size_t{32} << 20;

// The records one search may read from the file (those found kept aside)
// and still keep. A search that reads more, one past its deadline say,
// keeps none of them: they would drop those of the common searches, which
// read a page's worth.
inline constexpr std::size_t kMostKeptReads = 6'000;

// What `kept` holds in memory, as counted against kKeptRecordBytes: the
// record, its view's vectors, its strings past the in-place length, and
// malloc's share of each block.
std::size_t keptBytesOf(const KeptRecord& kept);

class KeptRecords {
 public:
  using Entry = std::shared_ptr<const KeptRecord>;

  explicit KeptRecords(std::size_t budgetBytes = kKeptRecordBytes) : budgetBytes_(budgetBytes) {}

  // The record kept under `number` with its view under `matching`, or
  // nullptr.
  Entry find(RecordNumber number, Matching matching) const;

  // Keeps `entry` (its view made under `matching`) under `number`. Entries
  // of another matching are dropped first; so are all of them when it does
  // not fit beside them. An entry over the whole budget is not kept.
  void keep(RecordNumber number, Matching matching, Entry entry);

  // Drops every entry when `bytes` more would not fit beside them, so that
  // the records one search read, kept one after the other, are kept
  // together rather than dropping the first of them.
  void makeRoom(std::size_t bytes);

  void clear();

 private:
  std::size_t budgetBytes_;
  Matching matching_ = Matching::kFolded;
  std::unordered_map<RecordNumber, Entry> entries_;
  std::size_t bytes_ = 0;
};

}  // namespace indicizza
