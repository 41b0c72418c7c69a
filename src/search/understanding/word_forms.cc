#include "search/understanding/word_forms.h"

#include <algorithm>
#include <string>
#include <vector>

#include "indexing/byte_classes.h"
#include "search/query/term_folding.h"
#include "search/understanding/index_words.h"
#include "search/understanding/stemming.h"
#include "search/understanding/synonyms.h"

namespace indicizza {
namespace {

// The shortest stem whose keys are walked: a shorter one starts too many.
constexpr std::size_t kShortestStemRoot = 3;

// `word` upper-cased as the indexer upper-cases (a-z only).
std::string indexerUpper(std::string_view word) {
  std::string upper(word);
  for (char& c : upper) c = asciiUpper(c);
  return upper;
}

bool isAsciiLetters(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// The index keys (words) that share a stem with `folded` in some language
// of the stemmer. Walks the keys that start with the stem (less a final i,
// which English stems give for a final y); a stem too short, or starting
// more than limits.maxStemKeys keys, is not used.
Status keysWithStemOf(const std::string& folded, Rewriting& rewriting,
                      std::vector<std::string>& found) {
  const Stemmer& stemmer = rewriting.stemmer;
  if (!stemmer.enabled() || !isAsciiLetters(folded)) return {};
  const std::vector<std::string> stems = stemmer.stemsOf(folded);
  for (std::size_t language = 0; language < stems.size(); ++language) {
    std::string root = indexerUpper(stems[language]);
    if (root.size() > kShortestStemRoot && root.back() == 'I') root.pop_back();
    if (root.size() < kShortestStemRoot) continue;
    std::vector<std::string> keys;
    const Status walked = rewriting.index.keysOf(root, true, rewriting.limits.maxStemKeys, keys);
    if (walked.code() == Status::Code::kOverBudget) continue;
    if (!walked.ok()) return walked;
    for (const std::string& key : keys) {
      const std::string keyFolded = foldedText(key);
      if (keyFolded == folded || !isAsciiLetters(keyFolded)) continue;
      if (stemmer.stemsOf(keyFolded)[language] == stems[language]) found.push_back(key);
    }
  }
  return {};
}

// `word` with its alternatives, into `out` (see readWord).
Status expandWord(const QueryNode& word, Rewriting& rewriting, QueryNode& out) {
  out = word;
  const std::string folded = foldedText(word.tokens.front());
  bool held = false;
  Status done = rewriting.index.isInIndex(word.tokens.front(), held);
  if (!done.ok()) return done;
  std::vector<std::string> alternatives;  // folded forms, the word's first
  alternatives.push_back(folded);
  std::vector<std::string> added;  // index keys or synonyms, as the OR's terms
  const auto add = [&](const std::string& token) {
    const std::string form = foldedText(token);
    if (alternatives.size() >= rewriting.limits.maxAlternatives) return;
    if (std::find(alternatives.begin(), alternatives.end(), form) != alternatives.end()) return;
    alternatives.push_back(form);
    added.push_back(token);
  };
  std::vector<std::string> stemmed = {folded};
  for (const std::string& synonym : synonymsOf(rewriting.synonyms, folded)) {
    bool synonymHeld = false;
    done = rewriting.index.isInIndex(synonym, synonymHeld);
    if (!done.ok()) return done;
    if (synonymHeld) add(synonym);
    stemmed.push_back(synonym);
  }
  for (const std::string& form : stemmed) {
    std::vector<std::string> keys;
    done = keysWithStemOf(form, rewriting, keys);
    if (!done.ok()) return done;
    for (const std::string& key : keys) add(key);
  }
  if (!held && added.empty()) rewriting.unknownWords.push_back(word.source);
  if (added.empty()) return {};
  out = QueryNode(NodeKind::kAny, word.source);
  out.children.push_back(word);
  for (const std::string& token : added) {
    QueryNode term = word;
    term.tokens = {token};
    term.source = shownTerm(token);
    out.children.push_back(std::move(term));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kOtherForms, word.source, added, ""});
  return {};
}

}  // namespace

Status readWord(const QueryNode& member, Rewriting& rewriting, RewriteGroup& group, bool& read) {
  read = member.kind == NodeKind::kTerm && !member.prefix &&
         member.scope != FieldScope::kCodeField && !holdsDigit(member.tokens.front());
  if (!read) return {};
  if (rewriting.stopWords.contains(indexerUpper(member.tokens.front()))) {
    group.stopWords.push_back(member);
    return {};
  }
  return expandWord(member, rewriting, group.members.emplace_back());
}

}  // namespace indicizza
