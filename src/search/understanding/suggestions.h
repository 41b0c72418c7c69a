// "Did you mean": a query word the index does not hold, replaced by the
// index term it most likely misspells. Made from the index's own keys, so a
// suggestion always names a word some record carried.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "search/query/query.h"
#include "search/understanding/query_understanding.h"

namespace indicizza {

// What one suggestion may cost.
struct SuggestionLimits {
  // Index keys compared with one word, all its walks together.
  std::size_t maxKeysCompared = 400'000;
  // Query words looked at; the others are left as typed.
  std::size_t maxWords = 8;
};

// The edit distance a correction may be at, by the length of the folded
// word: none below kShortestCorrected letters (too many words are that
// close to a short one), 1 up to kLongestAtDistanceOne, 2 beyond. A
// transposition of two letters side by side counts 1.
inline constexpr std::size_t kShortestCorrected = 4;
inline constexpr std::size_t kLongestAtDistanceOne = 7;
std::size_t allowedDistance(std::size_t letters);

// The distance between `a` and `b` (insertions, deletions, substitutions
// and transpositions of neighbours, each 1), or `bound` + 1 when it is more
// than `bound`.
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t bound);

// One word of the query and what it becomes.
struct Correction {
  std::string typed;      // as typed, UTF-8
  std::string corrected;  // the index term, lower case, UTF-8
};

struct Suggestion {
  std::string text;  // the query with each correction made, UTF-8
  QueryNode root;    // parseQuery(text)
  std::vector<Correction> corrections;
};

// The corrected query of `text` (parsed as `parsed`, rewritten into
// `understood`), into `suggestion`; nothing when no word needs or has a
// correction. Only the words of understood.unknownWords are corrected: those
// of which the index holds no folded form, stem or synonym (never a stop
// word, a code, a prefix or an excluded word). A word becomes the index word
// (a key without digits) of the least edit distance within allowedDistance
// of its length. Keys starting with the word's first letter are compared,
// then keys that put one letter before it ("chaikovsky" for TCHAIKOVSKY).
// Among those at the least distance a key with the same first letter wins
// over one without; then the key listed under by the most records, which
// must be listed by at least twice as many records as the next, or the word
// is left as typed (no clear winner). Fails as the index's reads do
// (kReadFailed, kNoHandle, kDamaged).
Status suggestCorrection(std::string_view text, const QueryNode& parsed,
                         const UnderstoodQuery& understood, ReadOnlyDatabase& index,
                         const SuggestionLimits& limits, std::optional<Suggestion>& suggestion);

}  // namespace indicizza
