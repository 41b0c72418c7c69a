#include "search/understanding/suggestions.h"

#include <algorithm>
#include <array>
#include <map>

#include "index_store/index_database.h"
#include "indexing/byte_classes.h"
#include "search/query/query_parser.h"
#include "search/query/term_folding.h"

namespace indicizza {
namespace {

// An index word near the typed one.
struct Candidate {
  std::string key;
  std::size_t distance = 0;
  bool sameFirstLetter = false;
  std::uint64_t records = 0;
};

// Whether `a` ranks before `b` as a correction, records aside.
bool closer(const Candidate& a, const Candidate& b) {
  if (a.distance != b.distance) return a.distance < b.distance;
  return a.sameFirstLetter && !b.sameFirstLetter;
}

class Corrector {
 public:
  Corrector(ReadOnlyDatabase& index, const SuggestionLimits& limits)
      : index_(index), limits_(limits) {}

  Status open() {
    if (!index_.handle.openCursor(cursor_).ok()) return cursorFailure(index_);
    return {};
  }

  // The correction of `folded` (a folded word the index does not hold),
  // into `best`; empty when there is no clear one.
  Status correct(const std::string& folded, std::string& best) {
    best.clear();
    candidates_.clear();
    compared_ = 0;
    const std::size_t bound = allowedDistance(folded.size());
    if (bound == 0) return {};
    Status walked = walkKeysStarting(std::string(1, folded.front()), folded, bound, true);
    for (char letter = 'A'; walked.ok() && letter <= 'Z'; ++letter) {
      if (letter == folded.front()) continue;
      walked = walkKeysStarting(std::string{letter, folded.front()}, folded, bound, false);
    }
    if (!walked.ok()) return walked;
    return pick(best);
  }

 private:
  // Compares `folded` with every key starting with `raw`.
  Status walkKeysStarting(const std::string& raw, const std::string& folded, std::size_t bound,
                          bool sameFirstLetter) {
    bdb::Item found;
    Status step = cursor_.seekKey(bdb::bytesOf(raw), found);
    std::string previous;
    for (bool first = true; step.ok(); first = false) {
      const std::string_view key = found.text();
      if (!key.starts_with(raw)) return {};
      if (!first && key <= previous) return damageFailure(index_);
      if (++compared_ > limits_.maxKeysCompared) return {};
      consider(key, folded, bound, sameFirstLetter);
      previous = key;
      step = cursor_.nextKey(found);
    }
    if (step.code() != Status::Code::kNotFound) return readFailure(index_, step);
    return {};
  }

  void consider(std::string_view key, const std::string& folded, std::size_t bound,
                bool sameFirstLetter) {
    if (holdsDigit(key)) return;
    const std::size_t longer = std::max(key.size(), folded.size());
    if (longer - std::min(key.size(), folded.size()) > bound + 1) return;  // ß folds to two
    keyFolded_.clear();
    for (const char byte : key) keyFolded_ += foldOf(static_cast<unsigned char>(byte)).text();
    const std::size_t distance = editDistance(folded, keyFolded_, bound);
    if (distance > bound || distance == 0) return;
    candidates_.push_back({std::string(key), distance, sameFirstLetter, 0});
  }

  // The clear winner among the candidates, into `best`.
  Status pick(std::string& best) {
    if (candidates_.empty()) return {};
    std::sort(candidates_.begin(), candidates_.end(), closer);
    std::vector<Candidate> nearest;
    for (const Candidate& candidate : candidates_) {
      if (closer(candidates_.front(), candidate)) break;
      nearest.push_back(candidate);
    }
    for (Candidate& candidate : nearest) {
      std::size_t length = 0;
      const Status read = index_.handle.dataLength(bdb::bytesOf(candidate.key), length);
      if (!read.ok()) return readFailure(index_, read);
      candidate.records = length / kStoredEntrySize;
    }
    std::sort(nearest.begin(), nearest.end(),
              [](const Candidate& a, const Candidate& b) { return a.records > b.records; });
    if (nearest[0].records == 0) return {};  // a key that lists no record
    if (nearest.size() > 1 && nearest[0].records < 2 * nearest[1].records) return {};
    best = nearest.front().key;
    return {};
  }

  ReadOnlyDatabase& index_;
  const SuggestionLimits& limits_;
  bdb::Cursor cursor_;
  std::vector<Candidate> candidates_;
  std::size_t compared_ = 0;
  std::string keyFolded_;  // of the key being compared, kept for its buffer
};

// The words of `node` a correction may replace: plain words, not under a NOT.
void correctableWords(const QueryNode& node, std::vector<const QueryNode*>& words) {
  switch (node.kind) {
    case NodeKind::kTerm:
      if (!node.prefix && node.scope != FieldScope::kCodeField &&
          !holdsDigit(node.tokens.front())) {
        words.push_back(&node);
      }
      return;
    case NodeKind::kAll:
    case NodeKind::kAny:
      for (const QueryNode& child : node.children) correctableWords(child, words);
      return;
    default: return;
  }
}

bool isQueryBoundary(char c) { return c == ' ' || c == '\t' || c == '(' || c == ')'; }

// `text` with the first whole-item occurrence of `typed` replaced by
// `corrected`; false when there is none.
bool replaceItem(std::string& text, std::string_view typed, std::string_view corrected) {
  for (std::size_t at = text.find(typed); at != std::string::npos; at = text.find(typed, at + 1)) {
    const std::size_t end = at + typed.size();
    if ((at == 0 || isQueryBoundary(text[at - 1])) &&
        (end == text.size() || isQueryBoundary(text[end]))) {
      text.replace(at, typed.size(), corrected);
      return true;
    }
  }
  return false;
}

}  // namespace

std::size_t allowedDistance(std::size_t letters) {
  if (letters < kShortestCorrected) return 0;
  return letters <= kLongestAtDistanceOne ? 1 : 2;
}

std::size_t editDistance(std::string_view a, std::string_view b, std::size_t bound) {
  const std::size_t longer = std::max(a.size(), b.size());
  if (longer - std::min(a.size(), b.size()) > bound) return bound + 1;
  // Three rows of the table: two back (for transpositions), one back, this.
  // On the stack for a word of kRowOnStack letters or fewer: this runs for
  // tens of thousands of keys per suggestion.
  constexpr std::size_t kRowOnStack = 64;
  std::array<std::size_t, 3 * (kRowOnStack + 1)> onStack;
  std::vector<std::size_t> onHeap;
  std::size_t* rows = onStack.data();
  if (b.size() > kRowOnStack) {
    onHeap.resize(3 * (b.size() + 1));
    rows = onHeap.data();
  }
  std::size_t* before = rows;
  std::size_t* previous = rows + b.size() + 1;
  std::size_t* row = rows + 2 * (b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    std::size_t least = row[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
      least = std::min(least, row[j]);
    }
    if (least > bound) return bound + 1;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return std::min(previous[b.size()], bound + 1);
}

Status suggestCorrection(std::string_view text, const QueryNode& parsed,
                         const UnderstoodQuery& understood, ReadOnlyDatabase& index,
                         const SuggestionLimits& limits, std::optional<Suggestion>& suggestion) {
  suggestion.reset();
  std::vector<const QueryNode*> words;
  correctableWords(parsed, words);
  const std::vector<std::string>& unknown = understood.unknownWords;
  std::erase_if(words, [&](const QueryNode* word) {
    return std::find(unknown.begin(), unknown.end(), word->source) == unknown.end();
  });
  if (words.empty()) return {};
  Corrector corrector(index, limits);
  Status done = corrector.open();
  if (!done.ok()) return done;
  Suggestion made;
  made.text = std::string(text);
  for (std::size_t w = 0; w < words.size() && w < limits.maxWords; ++w) {
    std::string best;
    done = corrector.correct(foldedText(words[w]->tokens.front()), best);
    if (!done.ok()) return done;
    if (best.empty()) continue;
    const Correction correction{words[w]->source, shownTerm(best)};
    if (replaceItem(made.text, correction.typed, correction.corrected)) {
      made.corrections.push_back(correction);
    }
  }
  if (made.corrections.empty()) return {};
  QueryParse parse = parseQuery(made.text);
  if (!parse.query) return {};
  made.root = std::move(parse.query->root);
  suggestion = std::move(made);
  return {};
}

}  // namespace indicizza
