// Searching the catalogue: a parsed query evaluated over the two databases,
// opened read-only. The index proposes records; each proposed record is then
// read from opere.ddb and the query is checked on its own text, so an entry
// left behind by an earlier run (whose record is gone or no longer carries
// the term) is never a result. Nothing here prints, exits or throws.
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
#include <vector>

#include "catalogue/read_only_database.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "search/query.h"
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
};

struct SearchOptions {
  Matching matching = Matching::kFolded;
  SearchLimits limits;
  // When set, asked now and then while the search works (between index
  // lookups, and every few hundred records read): when it returns true,
  // the search gives up with kInterrupted ("Ricerca interrotta"). A server
  // passes its deadline and whether the client is still there.
  std::function<bool()> stop;
  // The page: `limit` results from result number `from` (1-based) on, in
  // record-number order; no limit: all results from `from` on.
  std::uint64_t from = 1;
  std::optional<std::uint64_t> limit;
  // Only the total is wanted: every proposed record is checked, no page
  // is kept.
  bool countOnly = false;
  // When set, each record of the page is handed to it, in order, as soon
  // as it is found, instead of being kept in SearchResult::page (a page
  // without a limit may be most of the catalogue).
  std::function<void(const DecodedRecord&)> onPageRecord;
};

struct SearchResult {
  // The records of the page, in record-number order, as stored (empty
  // when SearchOptions::onPageRecord took them).
  std::vector<DecodedRecord> page;
  std::uint64_t pageSize = 0;
  // The number of results. Records are read only until the page is full:
  // the records the index proposes beyond it are counted without being
  // checked (`unchecked` of them), and the total is then an upper bound.
  std::uint64_t total = 0;
  std::uint64_t unchecked = 0;
  bool exact() const { return unchecked == 0; }
  // Index entries found not to hold among the records read: the record is
  // not stored (or its item is not a whole record), or no longer carries
  // the entry's term.
  std::uint64_t staleEntries = 0;
};

// Evaluates `query` (see query_parser.h) into `result`. Fails, with the
// Status of the lookup that failed (see read_only_database.h), when a
// database can't be read (kDamaged too when the index's keys come out of
// order); with kOverBudget past options.limits; with kInterrupted when
// options.stop said so. `result` then holds what was found before.
Status runQuery(SearchDatabases& databases, const QueryNode& query, const SearchOptions& options,
                SearchResult& result);

}  // namespace indicizza
