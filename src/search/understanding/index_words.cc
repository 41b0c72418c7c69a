#include "search/understanding/index_words.h"

#include <algorithm>

#include "indexing/byte_classes.h"

namespace indicizza {
namespace {

// The folded forms one word may have in the index (case and accents aside)
// are few; more would be a damaged or hostile index.
constexpr std::size_t kMaxKeysOfOneWord = 64;

}  // namespace

Status IndexWords::keysOf(std::string_view token, bool prefix, std::size_t maxKeys,
                          std::vector<std::string>& keys) {
  return terms_.keysFor(token, prefix, Matching::kFolded, maxKeys, keys);
}

Status IndexWords::isInIndex(std::string_view token, bool& held) {
  std::vector<std::string> keys;
  const Status found = keysOf(token, false, kMaxKeysOfOneWord, keys);
  held = !keys.empty();
  return found.code() == Status::Code::kOverBudget ? Status() : found;
}

Status IndexWords::lookUp(const std::vector<std::vector<std::string>>& formLists,
                          const std::vector<QueryNode>& phrases, const StopWordSet& stopWords,
                          HeldInIndex& held) {
  held = HeldInIndex();
  for (const std::vector<std::string>& forms : formLists) {
    std::vector<std::string>& found = held.keys.emplace_back();
    for (const std::string& form : forms) {
      std::vector<std::string> keys;
      Status looked = keysOf(form, false, kMaxKeysOfOneWord, keys);
      if (looked.code() == Status::Code::kOverBudget) looked = {};
      if (!looked.ok()) return looked;
      for (std::string& key : keys) {
        if (std::find(found.begin(), found.end(), key) == found.end())
          found.push_back(std::move(key));
      }
    }
  }
  for (const QueryNode& phrase : phrases) {
    bool can = false;
    for (const std::string& token : phrase.tokens) {
      std::string upper = token;
      for (char& c : upper) c = asciiUpper(c);
      if (holdsDigit(token) || stopWords.contains(upper)) continue;
      const Status found = isInIndex(token, can);
      if (!found.ok()) return found;
      if (can) break;
    }
    held.proposing.push_back(can);
  }
  return {};
}

}  // namespace indicizza
