#include "search/search.h"

#include "catalogue/files/label_file.h"

namespace indicizza {

SearchSideFiles::SearchSideFiles()
    : vocabulary_(queryVocabularyFiles(),
                  [](const std::vector<SideFile>& files, QueryVocabulary& vocabulary) {
                    return makeQueryVocabulary(files, vocabulary);
                  }),
      labels_({labelFile()}, [](const std::vector<SideFile>& files, FieldLabels& labels) {
        return labelsOfText(files.front().text, labels);
      }) {}

Status SearchSideFiles::vocabulary(std::shared_ptr<const QueryVocabulary>& vocabulary) {
  return vocabulary_.current(vocabulary);
}

Status SearchSideFiles::labels(std::shared_ptr<const FieldLabels>& labels) {
  return labels_.current(labels);
}

Status searchCatalogue(SearchDatabases& databases, const SearchRequest& request,
                       SearchAnswer& answer) {
  std::shared_ptr<const QueryVocabulary> vocabulary;
  const Status loaded = request.sideFiles.vocabulary(vocabulary);
  if (!loaded.ok()) return loaded;
  SearchOptions options = request.options;
  if (vocabulary->stopWordsRead) options.stopWords = &vocabulary->stopWords;
  const Status searched = runMeantSearch(databases, *vocabulary, request.text, request.parsed,
                                         options, answer.result, answer.meant);
  if (!searched.ok() || !request.facetRecords || answer.result.total == 0) return searched;
  std::shared_ptr<const FieldLabels> labels;
  answer.labelsRead = request.sideFiles.labels(labels);
  if (answer.labelsRead.ok()) answer.labels = std::move(labels);
  FacetCounter counter(options.matching, *request.facetRecords, &vocabulary->stopWords);
  if (!answer.labels->yearField.empty()) counter.countYearsOf(answer.labels->yearField);
  answer.facetsRead = countResultFacets(databases, answer.meant.ranRoot, options, counter);
  if (answer.facetsRead.ok()) answer.facets = counter.top();
  return searched;
}

RecordHighlights markedWordsOf(const SearchAnswer& answer, const DecodedRecord& record,
                               Matching matching) {
  return highlightsOf(answer.meant.ranRoot, record, matching);
}

}  // namespace indicizza
