#include "search/understanding/query_vocabulary.h"

#include "search/understanding/catalogue_numbers.h"

namespace indicizza {
namespace {

enum VocabularyFile { kStopWordFile, kSynonymFile, kNicknameFile, kVocabularyFileCount };

}  // namespace

const std::vector<SideFileSource>& queryVocabularyFiles() {
  static const std::vector<SideFileSource> files = {
      {kStopWordFileName, kMaxStopWordFileBytes},
      {kSynonymFileName, kMaxSynonymFileBytes},
      {kNicknameFileName, kMaxNicknameFileBytes},
  };
  return files;
}

Status makeQueryVocabulary(const std::vector<SideFile>& files, QueryVocabulary& vocabulary,
                           const std::vector<std::string>& languages) {
  vocabulary.stopWords = parseStopWords(files[kStopWordFile].text);
  vocabulary.stopWordsRead = files[kStopWordFile].identity.has_value();
  vocabulary.synonyms = parseSynonyms(files[kSynonymFile].text);
  vocabulary.nicknames = builtInWorkNicknames();
  std::string error;
  addWorkNicknames(files[kNicknameFile].text, vocabulary.nicknames, error);
  if (!error.empty()) {
    return Status::described(Status::Code::kReadFailed,
                             std::string(kNicknameFileName) + ", " + error);
  }
  vocabulary.aliases = &builtInCatalogueNumberAliases();
  return vocabulary.stemmer.open(languages);
}

Status loadQueryVocabulary(QueryVocabulary& vocabulary, const std::vector<std::string>& languages) {
  std::vector<SideFile> files(kVocabularyFileCount);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Status read =
        readSideFile(queryVocabularyFiles()[i].name, queryVocabularyFiles()[i].maxBytes, files[i]);
    if (!read.ok()) return read;
  }
  return makeQueryVocabulary(files, vocabulary, languages);
}

}  // namespace indicizza
