// What a search needs, besides the index, to read a query as people mean it:
// the stop words, the catalogue-number prefixes, the synonyms and the
// stemmer. Loaded once by a program that serves searches, then only read
// (query_understanding.h, suggestions.h).
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "input/stop_words.h"
#include "search/understanding/stemming.h"
#include "search/understanding/synonyms.h"

namespace indicizza {

struct CatalogueNumberAliases;  // catalogue_numbers.h

// Not copyable (the stemmer).
struct QueryVocabulary {
  StopWordSet stopWords;
  // The catalogue-number prefixes: the built-in table (catalogue_numbers.h).
  const CatalogueNumberAliases* aliases = nullptr;
  SynonymGroups synonyms;
  Stemmer stemmer;
};

// Loads from the current folder noused.txt (when there is one: a folder of
// the databases alone drops no stop word) and sinonimi.txt (when there is
// one), takes the built-in catalogue
// number table, and opens the stemmer in `languages`. Fails as
// loadRegularStopWordFile, loadSynonymFile and Stemmer::open.
Status loadQueryVocabulary(QueryVocabulary& vocabulary,
                           const std::vector<std::string>& languages = kDefaultStemmingLanguages);

}  // namespace indicizza
