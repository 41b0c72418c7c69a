// A parsed query evaluated over the two databases, opened read-only. The
// index proposes records (proposal.h); each proposed record is then read
// from opere.ddb and the query is checked on its own text, so an entry
// left behind by an earlier run (whose record is gone or no longer carries
// the term) is never a result. The records read are kept with their views
// beside the handles (SearchDatabases::kept) for the reads that follow,
// when the search read no more than kMostKeptReads of them.
// Nothing here prints, exits or throws.
//
// Results come by relevance (ranking.h) unless asked otherwise. Ranking
// reads the records it orders, so it is bounded: the first
// SearchLimits::maxRankedRecords proposed records (in record-number order)
// are ordered by their score, and any further results follow them in
// record-number order. An order by a text field is a true order of every
// result: all of them are read, and the first up to the page's end held
// (first_placed.h), at most SearchLimits::maxFieldOrdered of them. Totals come from the index's
// record lists without reading records where totals.h says they can; otherwise from the records
// read, up to SearchOptions::maxCountedRecords of them, past which the total
// is an estimate ("circa"). When a query of two or more words has fewer
// full results than SearchOptions::partialsUpTo, the records with some of
// its words follow (partial_candidates.h).
//
// The handles are not safe to use from two threads at once: serve one
// search at a time per handle pair. A front end calls search/search.h,
// which reads the query as meant before running it here.
#pragma once

#include "base/status.h"
#include "search/evaluation/search_databases.h"
#include "search/evaluation/search_options.h"
#include "search/query/query.h"

namespace indicizza {

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
