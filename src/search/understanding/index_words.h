// The index's words as the reading of a query asks for them: which keys a
// typed token stands for (case and accents aside), whether any, and whether
// a phrase has a word the index can propose records for. Holds a cursor on
// opere.idb; keeps no copy of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "input/stop_words.h"
#include "search/evaluation/index_terms.h"
#include "search/query/query.h"

namespace indicizza {

// What IndexWords::lookUp found.
struct HeldInIndex {
  std::vector<std::vector<std::string>> keys;  // per list of forms
  std::vector<bool> proposing;                 // per phrase
};

// Not copyable; `index` must outlive it.
class IndexWords {
 public:
  explicit IndexWords(ReadOnlyDatabase& index) : terms_(index) {}

  // Opens the cursor, once, before any lookup. Fails as IndexTerms::open.
  Status open() { return terms_.open(); }

  // The keys `token` stands for (folded), or with `prefix` the keys that
  // start with it, into `keys`; fails with kOverBudget past `maxKeys` (see
  // IndexTerms::keysFor).
  Status keysOf(std::string_view token, bool prefix, std::size_t maxKeys,
                std::vector<std::string>& keys);

  // Whether the index holds `token` (folded) as a key.
  Status isInIndex(std::string_view token, bool& held);

  // What the index holds of each list of `formLists` (the keys among its
  // forms, each once, in the order of the forms) and of each of `phrases`
  // (whether runQuery can propose records for it: some word of it, neither
  // a number nor one of `stopWords`, is in the index), into `held`.
  Status lookUp(const std::vector<std::vector<std::string>>& formLists,
                const std::vector<QueryNode>& phrases, const StopWordSet& stopWords,
                HeldInIndex& held);

 private:
  IndexTerms terms_;
};

}  // namespace indicizza
