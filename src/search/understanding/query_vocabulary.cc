#include "search/understanding/query_vocabulary.h"

#include <sys/stat.h>

#include <cerrno>

#include "catalogue/files/stop_word_file.h"
#include "search/understanding/catalogue_numbers.h"

namespace indicizza {

Status loadQueryVocabulary(QueryVocabulary& vocabulary, const std::vector<std::string>& languages) {
  vocabulary.stopWords = StopWordSet();
  // A folder that holds the databases alone is searched too: without
  // noused.txt no word is dropped as a stop word.
  struct stat info;
  const bool noStopWords = stat(kStopWordFileName, &info) != 0 && errno == ENOENT;
  Status loaded = noStopWords ? Status() : loadRegularStopWordFile(vocabulary.stopWords);
  if (!loaded.ok()) return loaded;
  loaded = loadSynonymFile(vocabulary.synonyms);
  if (!loaded.ok()) return loaded;
  vocabulary.aliases = &builtInCatalogueNumberAliases();
  return vocabulary.stemmer.open(languages);
}

}  // namespace indicizza
