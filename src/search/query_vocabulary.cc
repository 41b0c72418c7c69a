#include "search/query_vocabulary.h"

#include "catalogue/stop_word_file.h"

namespace indicizza {

Status loadQueryVocabulary(QueryVocabulary& vocabulary, const std::vector<std::string>& languages) {
  vocabulary.stopWords = StopWordSet();
  Status loaded = loadRegularStopWordFile(vocabulary.stopWords);
  if (!loaded.ok()) return loaded;
  loaded = loadSynonymFile(vocabulary.synonyms);
  if (!loaded.ok()) return loaded;
  vocabulary.aliases = builtInCatalogueNumberAliases();
  return vocabulary.stemmer.open(languages);
}

}  // namespace indicizza
