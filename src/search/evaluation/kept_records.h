// Records read from one version of opere.ddb, with their views, kept for
// the searches that follow. A page of results of a common word reads its
// first SearchLimits::maxRankedRecords candidates to rank them, its facets
// then read the first results again, and the next search of the word reads
// them all once more: kept, each is fetched, descrambled and tokenised once.
//
// The records one search read from the file are kept together, as one
// keeping, once it ends, and only when they were at most kMostKeptReads
// (query_run.h). At most kKeptRecordBytes are held, by keptBytesOf; a
// keeping that does not fit drops the keepings whose records were last found
// longest ago, so the records of a common search stay while other searches
// come and go. Entries belong to the file they were read from, which a
// search never writes: whoever holds the cache drops it when the file is
// replaced (database_pool.h shares one between the handle pairs of a
// version). A view is made under one Matching and is found only under it.
// Safe to use from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "input/decoded_record.h"
#include "search/evaluation/record_match.h"
#include "search/query/term_folding.h"

namespace indicizza {

// One record as read, whole, and its view under the cache's Matching.
struct KeptRecord {
  DecodedRecord record;
  RecordView view;
};

// The 5,000 records a page of results by relevance reads, with their views,
// are about 25 MiB (some 5 KiB each for the records of the generated
// catalogue; a record's 524 bytes make at most some 260 tokens): room for
// those of two such searches and the facets of a third, shared by all the
// searches served at once.
inline constexpr std::size_t kKeptRecordBytes = std::size_t{64} << 20;

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
  KeptRecords(const KeptRecords&) = delete;
  KeptRecords& operator=(const KeptRecords&) = delete;

 private:
  struct Slot {
    Entry entry;
    std::uint64_t keeping;  // which keeping holds it
    std::size_t bytes;      // keptBytesOf(*entry)
  };
  // Keyed by keyOf(number, matching).
  using Table = std::unordered_map<std::uint64_t, Slot>;

 public:
  // What one search reads of the cache: the records kept when it began,
  // under its matching. Finding takes no lock; the entries found stay
  // alive while the Reading does. Used by one thread at a time.
  class Reading {
   public:
    // The record kept under `number`, or nullptr; alive while this Reading.
    const KeptRecord* find(RecordNumber number);

   private:
    friend class KeptRecords;
    std::shared_ptr<const Table> table_;
    Matching matching_ = Matching::kFolded;
    std::vector<std::uint64_t> used_;  // the keepings found in, each once
  };

  // A Reading of the records kept now, under `matching`.
  Reading reading(Matching matching) const;

  // Ends `reading`: the keepings it found records in become the last used.
  // Then keeps `fresh` (records read from the file, their views made under
  // the reading's matching) together, dropping the least recently used
  // keepings until they fit; when they are over the whole budget, none.
  void keep(Reading& reading, std::vector<std::pair<RecordNumber, Entry>> fresh);

 private:
  struct Keeping {
    std::size_t bytes = 0;
    std::uint64_t lastUsed = 0;
    std::vector<std::uint64_t> keys;
  };

  static std::uint64_t keyOf(RecordNumber number, Matching matching);
  // With the mutex held: drops the keepings last used longest ago until
  // `bytes` more fit, from `table` too.
  void makeRoom(std::size_t bytes, Table& table);

  const std::size_t budgetBytes_;
  mutable std::mutex mutex_;
  std::shared_ptr<const Table> table_ = std::make_shared<const Table>();
  std::map<std::uint64_t, Keeping> keepings_;  // by id, in the order kept
  std::uint64_t clock_ = 0;                    // ids and uses, counted
  std::size_t bytes_ = 0;
};

}  // namespace indicizza
