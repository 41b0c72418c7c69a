#include "search/search.h"

namespace indicizza {

Status searchCatalogue(SearchDatabases& databases, const SearchRequest& request,
                       SearchAnswer& answer) {
  const Status searched =
      runMeantSearch(databases, request.vocabulary, request.text, request.parsed, request.options,
                     answer.result, answer.meant);
  if (!searched.ok() || !request.facetRecords || answer.result.total == 0) return searched;
  FacetCounter counter(request.options.matching, *request.facetRecords,
                       &request.vocabulary.stopWords);
  answer.facetsRead = countResultFacets(databases, answer.meant.ranRoot, request.options, counter);
  if (answer.facetsRead.ok()) answer.facets = counter.top();
  answer.labelsRead = loadFieldLabels(answer.labels);
  return searched;
}

RecordHighlights markedWordsOf(const SearchAnswer& answer, const DecodedRecord& record,
                               Matching matching) {
  return highlightsOf(answer.meant.ranRoot, record, matching);
}

}  // namespace indicizza
