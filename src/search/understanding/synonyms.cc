#include "search/understanding/synonyms.h"

#include <algorithm>

#include "catalogue/text/latin1.h"
#include "catalogue/text/line_reader.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/word_list_lines.h"

namespace indicizza {
namespace {

// The line as Latin-1: UTF-8 converted, anything else taken as it is.
std::string latin1Line(std::string_view line) {
  const Latin1Conversion converted = utf8ToLatin1(line, Typographic::kReplaced);
  return converted.ok() ? converted.latin1 : std::string(line);
}

}  // namespace

SynonymGroups parseSynonyms(std::string_view content) {
  SynonymGroups synonyms;
  for (const std::string_view text : textLines(content)) {
    const std::string line = latin1Line(text);
    if (line.empty() || line.front() == kWordListCommentMark) continue;
    std::vector<std::string> group;
    forEachToken(line, [&](std::string_view token) {
      if (holdsDigit(token)) return;
      std::string folded = foldedText(token);
      if (std::find(group.begin(), group.end(), folded) == group.end()) group.push_back(folded);
    });
    if (group.size() > 1) synonyms.groups.push_back(std::move(group));
  }
  return synonyms;
}

std::vector<std::string> synonymsOf(const SynonymGroups& synonyms, std::string_view folded) {
  std::vector<std::string> words;
  for (const std::vector<std::string>& group : synonyms.groups) {
    if (std::find(group.begin(), group.end(), folded) == group.end()) continue;
    for (const std::string& word : group) {
      if (word != folded && std::find(words.begin(), words.end(), word) == words.end()) {
        words.push_back(word);
      }
    }
  }
  return words;
}

}  // namespace indicizza
