// Searching the catalogue: a parsed query evaluated over the two databases,
// opened read-only. The index proposes records; each proposed record is then
// read from opere.ddb and the query is checked on its own text, so an entry
// left behind by an earlier run (whose record is gone or no longer carries
// the term) is never a result. Nothing here prints, exits or throws.
//
// Results come by relevance (ranking.h) unless asked otherwise. Ranking
// reads the records it orders, so it is bounded: the first
// SearchLimits::maxRankedRecords proposed records (in record-number order)
// are ordered by their score, and any further results follow them in
// record-number order. Totals come from the index's record lists without
// reading records where totals.h says they can; otherwise from the records
// read, up to SearchOptions::maxCountedRecords of them, past which the total
// is an estimate ("circa").
//
// A program that serves searches (a command, a web page) opens the
// databases once with openSearchDatabases, then for each request:
//   QueryParse parse = parseQuery(text);           // parse.error: say why
//   SearchResult result;
//   Status searched = runQuery(databases, parse.query->root, options, result);
// and writes result.page with result_formats.h (searched.text() says why
// not). The handles are not safe to use from two threads at once: serve one
// search at a time per handle pair.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/read_only_database.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "search/query.h"
#include "search/ranking.h"
#include "search/record_list_cache.h"
#include "search/term_folding.h"

namespace indicizza {

// opere.idb and opere.ddb of one folder, open read-only. Not copyable.
struct SearchDatabases {
  ReadOnlyDatabase index;
  ReadOnlyDatabase data;
  ScrambleKey key;
  // When set, the record lists of long keys are taken from and kept in it;
  // it must belong to the opere.idb that `index` reads (see
  // record_list_cache.h). A program that serves many searches sets it.
  std::shared_ptr<RecordListCache> recordLists;
  // Whether opere.idb was written after opere.ddb last changed (totals.h),
  // as their files were when opened: then totals need no record reads.
  bool indexCurrent = false;
};

// Opens opere.idb and opere.ddb of the current folder read-only into
// `databases`. Fails as openReadOnly ("File opere.idb indefinito", ...) when
// one is missing or can't be opened.
Status openSearchDatabases(SearchDatabases& databases);

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
  // Records read and scored to order the results by relevance or by a
  // field; the results past them follow in record-number order.
  std::uint64_t maxRankedRecords = 5'000;
  // Index terms whose arrays are probed (one record read each) to learn
  // whether they are current; past it, totals are counted on the records.
  std::size_t maxProbedKeys = 2'000;
  // Records read to rank the results that match only some of the query's
  // words (the best of them by the index alone); the others are counted
  // without being held, so this bounds the memory of the choice too.
  std::uint64_t maxRankedPartials = 2'000;
};

// The order of the results.
enum class ResultOrder {
  kRelevance,  // by score (ranking.h), highest first, then record number
  kNumber,     // by record number
  kField,      // by a text field's folded text (term_folding.h), then record number
};

struct SortOrder {
  ResultOrder by = ResultOrder::kRelevance;
  int field = 0;  // kField: the text field, 1-7
};

// The order called `name`: rilevanza, numero, T1 ... T7; or nothing.
std::optional<SortOrder> sortOrderNamed(std::string_view name);

// The name of `order`, as sortOrderNamed takes it.
std::string sortOrderName(const SortOrder& order);

struct SearchOptions {
  Matching matching = Matching::kFolded;
  SearchLimits limits;
  // When set, asked now and then while the search works (between index
  // lookups, and every few hundred records read): when it returns true,
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

// Evaluates `query` (see query_parser.h) into `result`. Fails, with the
// Status of the lookup that failed (see read_only_database.h), when a
// database can't be read (kDamaged too when the index's keys come out of
// order); with kOverBudget past options.limits; with kInterrupted when
// options.stop said so. `result` then holds what was found before. A
// phrase reads noused.txt of the current folder, when there is one, to know
// which of its words the index may have left out.
Status runQuery(SearchDatabases& databases, const QueryNode& query, const SearchOptions& options,
                SearchResult& result);

}  // namespace indicizza
