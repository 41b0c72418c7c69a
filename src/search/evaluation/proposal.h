// The records the index proposes for a query: each term's record lists,
// read within the search's limits, joined as the query joins its terms.
// Every record that matches the query is among them when the index is up
// to date; the records are then read and checked (query_run.h), so an entry
// left behind by an earlier run is never a result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/status.h"
#include "search/evaluation/index_terms.h"
#include "search/evaluation/record_list_cache.h"
#include "search/evaluation/record_match.h"
#include "search/evaluation/record_sets.h"
#include "search/evaluation/search_options.h"
#include "search/query/query.h"

namespace indicizza {

// Decides whether the array of `key` (the records listed under it, not
// empty) is current, from one of its records (totals.h).
using ArrayProbe =
    std::function<Status(const std::string& key, const Numbers& listed, bool& current)>;

// The Status of a search that SearchOptions::stop ended: "Ricerca interrotta".
Status searchInterrupted();

// The records the index proposes for a query, and the keys it looked up.
// Holds references to `terms` and `options`, which must outlive it.
class Proposal {
 public:
  // With `probe`, each key's array is probed (up to the limit), and an
  // array found stale is taken as empty. `cache` may be null.
  Proposal(IndexTerms& terms, const SearchOptions& options, RecordListCache* cache,
           ArrayProbe probe)
      : terms_(terms), options_(options), cache_(cache), probe_(std::move(probe)) {}

  // The records that may match `node`, into `records`: every record that
  // matches it is among them when the index is up to date; null when the
  // index can't narrow them (a phrase of numbers and stop words alone, an
  // OR with an alternative asked of the text alone), so that any record may
  // match. A NOT is left to the check on the record, so kAll intersects
  // only its other members, those the index can narrow. Fails when the
  // index can't be read.
  Status candidates(const QueryNode& node, SharedNumbers& records);

  // Takes out of `records` (candidates of the AND `all`) the records that
  // match its NOT members, when the index decides them: every array read
  // so far probed current or stale, and each NOT member countable. Leaves
  // them to the record check otherwise. With `keep`, the records taken
  // out are kept for excluded().
  Status subtractExcluded(const QueryNode& all, SharedNumbers& records, bool keep = false);

  const std::vector<KeyRecords>& keys() const { return keys_; }
  // Whether every array read was probed (none when there is no probe).
  bool allProbed() const { return probe_ && !unprobed_; }
  // Entries of the arrays probed stale.
  std::uint64_t staleByProbe() const { return staleByProbe_; }
  // The highest record number listed under any key read.
  RecordNumber highestListed() const { return highest_; }
  // The records subtractExcluded took out, or null.
  const SharedNumbers& excluded() const { return excluded_; }

 private:
  Status lookUp(const QueryNode& node, const std::string& token, bool prefix,
                std::vector<SharedNumbers>& lists);
  Status recordsUnder(const std::string& key, SharedNumbers& records);
  Status probed(const std::string& key, SharedNumbers& records);
  // unionOf(lists), through the cache when there is one.
  SharedNumbers unionOfLists(const std::vector<SharedNumbers>& lists) const;
  bool stopAsked() const { return options_.stop && options_.stop(); }
  Status tooManyKeys(const QueryNode& node) const;
  Status tooManyListed() const;
  Status phraseCandidates(const QueryNode& node, SharedNumbers& records);
  Status intersectPhraseWords(const QueryNode& node, bool stopLike, SharedNumbers& all);
  bool mayBeStopWord(const std::string& token);

  IndexTerms& terms_;
  const SearchOptions& options_;
  RecordListCache* cache_;        // may be null
  std::size_t keysSought_ = 0;    // keys the lookups gave, repeats included
  std::uint64_t listed_ = 0;      // entries of the lists read
  std::vector<KeyRecords> keys_;  // each key once
  std::map<std::string, std::size_t, std::less<>> keyIndex_;
  ArrayProbe probe_;  // may be empty
  std::size_t probes_ = 0;
  bool unprobed_ = false;  // some array was read past maxProbedKeys
  std::uint64_t staleByProbe_ = 0;
  RecordNumber highest_ = 0;
  SharedNumbers excluded_;
  bool stopWordsRead_ = false;
  bool stopWordsKnown_ = false;                   // noused.txt was read
  std::set<std::string, std::less<>> stopForms_;  // its words' comparableTerm
};

// Goes through the looked-up keys' record lists together, in ascending
// record number, to find the keys listing each record checked (a prefix may
// stand for thousands of keys). Must be asked about ascending numbers.
// Holds a reference to `keys`, which must outlive it.
class ListingWalk {
 public:
  // `termsCurrent`: every key's array was probed current (Proposal::allProbed),
  // so a stored record carries each key it is listed under, unchecked.
  ListingWalk(const std::vector<KeyRecords>& keys, bool termsCurrent);

  // The number of entries listing `number` under a key that `view` does
  // not carry (every entry, without a view: the record is not stored).
  std::uint64_t staleEntriesOf(RecordNumber number, const RecordView* view);

 private:
  void push(std::size_t k);

  const std::vector<KeyRecords>& keys_;
  const bool termsCurrent_;
  std::vector<std::size_t> next_;                            // per key, its next record
  std::vector<std::pair<RecordNumber, std::size_t>> heads_;  // min-heap of (record, key)
};

}  // namespace indicizza
