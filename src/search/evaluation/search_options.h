// What a search is asked (SearchOptions, with its SearchLimits) and what it
// gives back (SearchResult). Plain data.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "input/decoded_record.h"
#include "input/stop_words.h"
#include "search/evaluation/sort_orders.h"
#include "search/query/term_folding.h"

namespace indicizza {

// What one search may cost: past either bound it gives up with kOverBudget
// and a sentence that says which bound and how to narrow the query. The
// defaults let through every query a person types on a catalogue of a
// million records, and stop what only a machine or a damaged file makes.
struct SearchLimits {
  // Index keys the query's terms may stand for, all together (a prefix or
  // a folded word stands for many).
  std::size_t maxKeys = 100'000;
  // Entries read from the index's lists of those keys, all together.
  std::uint64_t maxListedRecords = 20'000'000;
  // Records read and scored to order the results by relevance; the results
  // past them follow in record-number order.
  std::uint64_t maxRankedRecords = 5'000;
  // Results held to order them by a text field (T1-T7), which orders every
  // result: every candidate is read, and the first of the results up to the
  // page's end are held. A page that ends past this many, of a search with
  // more results than this, gives up (the sentence says how to narrow it).
  std::uint64_t maxFieldOrdered = 100'000;
  // Index terms whose arrays are probed (one record read each) to learn
  // whether they are current; past it, totals are counted on the records.
  std::size_t maxProbedKeys = 2'000;
  // Records read to rank the results that match only some of the query's
  // words (the best of them by the index alone); the others are counted
  // without being held, so this bounds the memory of the choice too.
  std::uint64_t maxRankedPartials = 2'000;
};

// How many records a search reads between two looks at SearchOptions::stop.
// A record costs up to about 0.1 ms to read and check, so a look comes every
// few milliseconds: a server's search then gives its turn to another, or
// sees its deadline, within that.
inline constexpr std::size_t kRecordsBetweenStopChecks = 32;

struct SearchOptions {
  Matching matching = Matching::kFolded;
  SearchLimits limits;
  // When set, asked now and then while the search works (between index
  // lookups, and every kRecordsBetweenStopChecks records read): when it
  // returns true,
  // the search gives up with kInterrupted ("Ricerca interrotta"). A server
  // passes its deadline and whether the client is still there.
  std::function<bool()> stop;
  // The page: `limit` results from result number `from` (1-based) on, in
  // `order`; no limit: all results from `from` on.
  SortOrder order;
  std::uint64_t from = 1;
  std::optional<std::uint64_t> limit;
  // Only the total is wanted: no page is kept.
  bool countOnly = false;
  // Records read to count the results when the index's lists cannot give
  // the count; past it the total is estimated from those read.
  std::uint64_t maxCountedRecords = 20'000;
  // When a query of two or more words (ranking.h) has fewer full results
  // than this, results matching only some of its words follow them, up to
  // this many results in all; 0: none. They never match a NOT member.
  std::uint64_t partialsUpTo = 0;
  // When set, each record of the page is handed to it, in order, as soon
  // as it is found, instead of being kept in SearchResult::page (a page
  // without a limit may be most of the catalogue).
  std::function<void(const DecodedRecord&)> onPageRecord;
  // When set, called once before the page's first partial result.
  std::function<void()> onPartialsBegin;
  // The stop words the index left out (noused.txt's), which a phrase's
  // check must allow for; when not set, noused.txt is read when a phrase
  // needs it. Must outlive the search.
  const StopWordSet* stopWords = nullptr;
};

struct SearchResult {
  // The records of the page, in the order asked, as stored (empty when
  // SearchOptions::onPageRecord took them): the full results first, then
  // the `pagePartials` partial ones.
  std::vector<DecodedRecord> page;
  std::uint64_t pageSize = 0;
  std::uint64_t pagePartials = 0;
  // The number of results, and whether it is an estimate (the records to
  // read to count them were more than SearchOptions::maxCountedRecords).
  std::uint64_t total = 0;
  bool estimated = false;
  bool exact() const { return !estimated; }
  // Whether the total came from the index's lists, with no record read
  // to count (totals.h); false when the records were read to count.
  bool countedByIndex = false;
  // The results that match some of the query's words but not all (when
  // SearchOptions::partialsUpTo asked for them), and whether that number is
  // an estimate.
  std::uint64_t partialTotal = 0;
  bool partialEstimated = false;
  // Index entries found not to hold among the records read: the record is
  // not stored (or its item is not a whole record), or no longer carries
  // the entry's term.
  std::uint64_t staleEntries = 0;
};

}  // namespace indicizza
