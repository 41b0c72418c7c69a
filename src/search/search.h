// Searching the catalogue for what a person typed: the one entry of both
// front ends (catalogo cerca, the page and API of catalogo servi). The query
// is read as meant (understanding/meant_search.h: stop words, catalogue
// numbers, stems, synonyms, a correction of a word found nowhere), run over
// the two databases (evaluation/query_run.h), and, when asked, the results
// are counted by facet and the catalogue's labels loaded
// (presentation/facets.h, catalogue/forms/field_labels.h). Nothing here
// prints, exits or throws.
//
// A program that serves searches opens the databases once with
// openSearchDatabases (or leases them from a DatabasePool), keeps one
// SearchSideFiles, then for each request:
//   QueryParse parse = parseQuery(text);     // parse.error: say why, before any file
//   SearchRequest request{text, *parse.query, sideFiles, options};
//   SearchAnswer answer;
//   Status searched = searchCatalogue(databases, request, answer);
// and writes answer.result's records with presentation/result_formats.h (or
// takes them one by one through options.onPageRecord, marking the words found
// with markedWordsOf), answer.meant's notes with presentation/reading_notes.h,
// and answer.facets with presentation/facets.h. searched.text() says why not.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "base/status.h"
#include "catalogue/files/side_file.h"
#include "catalogue/forms/field_labels.h"
#include "search/evaluation/query_run.h"
#include "search/evaluation/search_databases.h"
#include "search/evaluation/search_options.h"
#include "search/presentation/facets.h"
#include "search/presentation/highlight.h"
#include "search/query/query_parser.h"
#include "search/understanding/meant_search.h"
#include "search/understanding/query_vocabulary.h"

namespace indicizza {

// The side files a program's searches are read with (catalogue/files/
// side_file.h): the vocabulary's (noused.txt, sinonimi.txt) and the labels'
// (etichette.txt), each read again only when one of its files changes. A
// command keeps one for its search, a server one for all of them. Safe to
// use from several threads at once; not copyable.
class SearchSideFiles {
 public:
  SearchSideFiles();

  // The vocabulary of the current folder's files as they are now. Fails as
  // loadQueryVocabulary does.
  Status vocabulary(std::shared_ptr<const QueryVocabulary>& vocabulary);

  // The labels of the current folder's etichette.txt as it is now (none
  // without it). Fails as loadFieldLabels does.
  Status labels(std::shared_ptr<const FieldLabels>& labels);

 private:
  SideFileCache<QueryVocabulary> vocabulary_;
  SideFileCache<FieldLabels> labels_;
};

// What a front end asks. Holds references: `text`, `parsed` and
// `sideFiles` must outlive the search.
struct SearchRequest {
  std::string_view text;       // the query as typed, UTF-8
  const ParsedQuery& parsed;   // parseQuery(text)'s query
  SearchSideFiles& sideFiles;  // where the vocabulary and labels come from
  SearchOptions options;       // the page, its order, limits, stop, callbacks
  // When set, and the search finds something, etichette.txt is loaded for
  // the facets' titles, and the results are counted by facet, the first
  // this many of them exactly (presentation/facets.h), and by the year of
  // the field its ANNO line names, when it names one (the timeline).
  std::optional<std::uint64_t> facetRecords;
};

// What a search gives back.
struct SearchAnswer {
  SearchResult result;  // the page, the totals, the partial results, the stale entries
  MeantSearch meant;    // how the query was read: its notes, the correction, the query run
  // The facets when asked for and counted; facetsRead says why not when
  // counting them failed (the results stand).
  std::optional<FacetCounts> facets;
  Status facetsRead;
  // The labels of etichette.txt when facets were asked for (empty without
  // the file, or when they could not be read: labelsRead says why). Never
  // null.
  std::shared_ptr<const FieldLabels> labels = std::make_shared<const FieldLabels>();
  Status labelsRead;
};

// Runs `request` over `databases` into `answer`. Fails as
// SearchSideFiles::vocabulary and runMeantSearch do (a side file or a
// database that can't be read, kOverBudget past the limits, kInterrupted
// when options.stop said so); `answer` then holds what was found before. Counting facets and
// loading labels never fail the search: their outcome is answer.facetsRead and answer.labelsRead.
Status searchCatalogue(SearchDatabases& databases, const SearchRequest& request,
                       SearchAnswer& answer);

// The words of the query as run that `record` (one of the answer's
// results) matches, by field, and the index terms matched, to mark them.
RecordHighlights markedWordsOf(const SearchAnswer& answer, const DecodedRecord& record,
                               Matching matching);

}  // namespace indicizza
