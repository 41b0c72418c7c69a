// What a search needs, besides the index, to read a query as people mean it:
// the stop words, the catalogue-number prefixes, the synonyms and the
// stemmer. Made of the catalogue folder's side files (catalogue/files/
// side_file.h) and what is built in; a program that serves searches keeps
// one for as long as its files keep their version, and only reads it
// (query_understanding.h, suggestions.h); the stemmer may be used from
// several threads at once.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/status.h"
#include "catalogue/files/side_file.h"
#include "input/stop_words.h"
#include "search/understanding/stemming.h"
#include "search/understanding/synonyms.h"
#include "search/understanding/work_nicknames.h"

namespace indicizza {

// The most bytes of each file a search reads: far more than a catalogue's
// lists of words need; a larger file is taken for a mistake, and said to
// be one, rather than read for every search.
inline constexpr std::size_t kMaxStopWordFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxSynonymFileBytes = std::size_t{4} << 20;
inline constexpr std::size_t kMaxNicknameFileBytes = std::size_t{4} << 20;

struct CatalogueNumberAliases;  // catalogue_numbers.h

// Not copyable (the stemmer).
struct QueryVocabulary {
  StopWordSet stopWords;
  bool stopWordsRead = false;  // noused.txt was there: stopWords are the index's
  // The catalogue-number prefixes: the built-in table (catalogue_numbers.h).
  const CatalogueNumberAliases* aliases = nullptr;
  SynonymGroups synonyms;
  // The built-in nicknames of works, with soprannomi.txt's.
  WorkNicknames nicknames;
  Stemmer stemmer;
};

// The side files the vocabulary is made of, in this order, each with its
// size limit: noused.txt, sinonimi.txt, soprannomi.txt.
const std::vector<SideFileSource>& queryVocabularyFiles();

// Makes `vocabulary` of `files` (queryVocabularyFiles() as read):
// noused.txt's stop words, read by the indexer's rules (none without the
// file: a folder of the databases alone drops no stop word), sinonimi.txt's
// synonyms, the built-in nicknames with soprannomi.txt's, the built-in
// catalogue-number table, and the stemmer in `languages`. Fails with
// kReadFailed ("soprannomi.txt, riga 3: ...") at a line of soprannomi.txt of
// another form, and as Stemmer::open.
Status makeQueryVocabulary(const std::vector<SideFile>& files, QueryVocabulary& vocabulary,
                           const std::vector<std::string>& languages = kDefaultStemmingLanguages);

// Reads queryVocabularyFiles() of the current folder once and makes
// `vocabulary` of them. Fails as readSideFile and makeQueryVocabulary.
Status loadQueryVocabulary(QueryVocabulary& vocabulary,
                           const std::vector<std::string>& languages = kDefaultStemmingLanguages);

}  // namespace indicizza
