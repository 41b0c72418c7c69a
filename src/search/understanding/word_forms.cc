#include "search/understanding/word_forms.h"

#include <algorithm>
#include <string>
#include <vector>

#include "indexing/byte_classes.h"
#include "search/query/term_folding.h"
#include "search/understanding/composer_names.h"
#include "search/understanding/index_words.h"
#include "search/understanding/music_words.h"
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

// Compounds split into parts of at least this many letters ("klavier" +
// "sonate"), into at most kMostCompoundParts of them.
constexpr std::size_t kShortestCompoundPart = 3;
constexpr std::size_t kMostCompoundParts = 3;
// What German puts between the parts of a compound ("Geburtstagsständchen").
constexpr std::string_view kLinkingLetters[] = {"S", "ES", "N", "EN"};

// The forms of folded word `folded` that the index holds, besides itself,
// into `added`, as the OR's terms: the built-in vocabulary's first, then
// the catalogue's synonyms, then the index terms that share a stem with
// the word or a synonym; at most limits.maxAlternatives, the word included.
Status otherForms(const std::string& folded, Rewriting& rewriting,
                  std::vector<std::string>& added) {
  std::vector<std::string> alternatives = {folded};  // folded forms, the word's first
  const auto add = [&](const std::string& token) {
    const std::string form = foldedText(token);
    if (alternatives.size() >= rewriting.limits.maxAlternatives) return;
    if (std::find(alternatives.begin(), alternatives.end(), form) != alternatives.end()) return;
    alternatives.push_back(form);
    added.push_back(token);
  };
  const WordMeaning* meaning = meaningOf(folded);
  std::vector<std::string> forms = meaning ? meaning->forms : std::vector<std::string>();
  const std::vector<std::string> synonyms = synonymsOf(rewriting.synonyms, folded);
  forms.insert(forms.end(), synonyms.begin(), synonyms.end());
  for (const std::string& form : forms) {
    if (form == folded) continue;
    bool held = false;
    const Status done = rewriting.index.isInIndex(form, held);
    if (!done.ok()) return done;
    if (held) add(form);
  }
  std::vector<std::string> stemmed = {folded};
  stemmed.insert(stemmed.end(), synonyms.begin(), synonyms.end());
  for (const std::string& form : stemmed) {
    std::vector<std::string> keys;
    const Status done = keysWithStemOf(form, rewriting, keys);
    if (!done.ok()) return done;
    for (const std::string& key : keys) add(key);
  }
  return {};
}

// Whether folded `part` is a word of the index, itself or through one of
// its forms.
Status isKnownPart(const std::string& part, Rewriting& rewriting, bool& known) {
  Status done = rewriting.index.isInIndex(part, known);
  if (!done.ok() || known) return done;
  std::vector<std::string> forms;
  done = otherForms(part, rewriting, forms);
  known = !forms.empty();
  return done;
}

// The parts `folded` splits into, each a word the index knows (with a
// linking letter of German between two parts left out), the fewest parts
// first and, among those, the split whose shortest part is longest; none
// when it splits into no such parts.
Status compoundParts(const std::string& folded, Rewriting& rewriting, std::size_t most,
                     std::vector<std::string>& parts) {
  parts.clear();
  std::size_t bestShortest = 0;
  for (std::size_t cut = kShortestCompoundPart; cut + kShortestCompoundPart <= folded.size();
       ++cut) {
    std::string head = folded.substr(0, cut);
    bool known = false;
    Status done = isKnownPart(head, rewriting, known);
    for (std::size_t l = 0; done.ok() && !known && l < std::size(kLinkingLetters); ++l) {
      const std::string_view linking = kLinkingLetters[l];
      if (!head.ends_with(linking) || head.size() < kShortestCompoundPart + linking.size())
        continue;
      const std::string bare = head.substr(0, head.size() - linking.size());
      done = isKnownPart(bare, rewriting, known);
      if (known) head = bare;
    }
    if (!done.ok()) return done;
    if (!known) continue;
    const std::string rest = folded.substr(cut);
    std::vector<std::string> tail;
    bool restKnown = false;
    done = isKnownPart(rest, rewriting, restKnown);
    if (done.ok() && restKnown) tail = {rest};
    if (done.ok() && !restKnown && most > 2) done = compoundParts(rest, rewriting, most - 1, tail);
    if (!done.ok()) return done;
    if (tail.empty()) continue;
    std::size_t shortest = head.size();
    for (const std::string& part : tail) shortest = std::min(shortest, part.size());
    const bool fewer = parts.empty() || tail.size() + 1 < parts.size();
    if (fewer || (tail.size() + 1 == parts.size() && shortest > bestShortest)) {
      parts = {head};
      parts.insert(parts.end(), tail.begin(), tail.end());
      bestShortest = shortest;
    }
  }
  return {};
}

// `word` with the forms `added` as an OR, or `word` alone.
QueryNode withForms(const QueryNode& word, const std::vector<std::string>& added) {
  if (added.empty()) return word;
  QueryNode any(NodeKind::kAny, word.source);
  any.children.push_back(word);
  for (const std::string& token : added) {
    QueryNode term = word;
    term.tokens = {token};
    term.source = shownTerm(token);
    any.children.push_back(std::move(term));
  }
  return any;
}

// A compound the index holds only in parts, as an AND of the parts, each
// with its forms; nothing in `out` when it splits into none.
Status readCompound(const QueryNode& word, Rewriting& rewriting, QueryNode& out) {
  std::vector<std::string> parts;
  Status done =
      compoundParts(foldedText(word.tokens.front()), rewriting, kMostCompoundParts, parts);
  if (!done.ok() || parts.empty()) return done;
  out = QueryNode(NodeKind::kAll, word.source);
  std::string meaning;
  for (const std::string& part : parts) {
    QueryNode term = word;
    term.tokens = {part};
    term.source = shownTerm(part);
    meaning += (meaning.empty() ? "" : " + ") + term.source;
    std::vector<std::string> added;
    done = otherForms(part, rewriting, added);
    if (!done.ok()) return done;
    out.children.push_back(withForms(term, added));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs, word.source, {}, "", meaning});
  return {};
}

// Spellings of a name looked up in the index for a word it does not hold.
constexpr std::size_t kMostTransliterations = 64;

// A name the index holds in another transliteration ("rachmaninoff" for
// "Rachmaninov"), as an OR of the word and those spellings in the composer
// field, with a note; nothing in `out` when it holds none.
Status readTransliteration(const QueryNode& word, Rewriting& rewriting, QueryNode& out) {
  std::vector<std::string> held;
  for (const std::string& spelling :
       transliterationsOf(foldedText(word.tokens.front()), kMostTransliterations)) {
    bool holds = false;
    const Status looked = rewriting.index.isInIndex(spelling, holds);
    if (!looked.ok()) return looked;
    if (holds) held.push_back(spelling);
    if (held.size() + 1 >= rewriting.limits.maxAlternatives) break;
  }
  if (held.empty()) return {};
  out = QueryNode(NodeKind::kAny, word.source);
  out.children.push_back(word);
  std::string meaning;
  for (const std::string& spelling : held) {
    QueryNode term = word;
    term.tokens = {spelling};
    term.source = shownTerm(spelling);
    term.scope = FieldScope::kTextField;
    term.field = 1;
    meaning += (meaning.empty() ? "" : ", ") + term.source;
    out.children.push_back(std::move(term));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs, word.source, {}, "", meaning});
  return {};
}

// `word` with its alternatives, into `out` (see readWord).
Status expandWord(const QueryNode& word, Rewriting& rewriting, QueryNode& out) {
  out = word;
  const std::string folded = foldedText(word.tokens.front());
  bool held = false;
  Status done = rewriting.index.isInIndex(word.tokens.front(), held);
  std::vector<std::string> added;
  if (done.ok()) done = otherForms(folded, rewriting, added);
  if (!done.ok()) return done;
  if (!held && added.empty()) {
    done = readTransliteration(word, rewriting, out);
    if (done.ok() && out.kind == NodeKind::kTerm) done = readCompound(word, rewriting, out);
    if (done.ok() && out.kind == NodeKind::kTerm) rewriting.unknownWords.push_back(word.source);
    return done;
  }
  if (added.empty()) return {};
  out = withForms(word, added);
  const WordMeaning* meaning = meaningOf(folded);
  if (meaning && foldedText(meaning->head) != folded) {
    rewriting.notes.push_back({ReadingNote::Kind::kReadAs, word.source, {}, "", meaning->head});
  } else {
    rewriting.notes.push_back({ReadingNote::Kind::kOtherForms, word.source, added, "", ""});
  }
  return {};
}

// A word that names a number ("three", "drei"), checked, as a number in a
// title is, on the text of the records the other members find: as typed,
// in digits, as a Roman numeral after No., in any language.
void readNumberWord(const QueryNode& word, unsigned number, RewriteGroup& group) {
  QueryNode any(NodeKind::kAny, word.source);
  any.children.push_back(word);
  for (std::vector<std::string>& spelling : numberSpellings(number)) {
    // Digits are a number of the text only in a phrase (a term with a digit is a code).
    const bool words = spelling.size() == 1 && !holdsDigit(spelling.front());
    QueryNode spelled(words ? NodeKind::kTerm : NodeKind::kPhrase, word.source);
    spelled.tokens = std::move(spelling);
    any.children.push_back(std::move(spelled));
  }
  group.checkedOnly.push_back(
      {group.members.size(),
       word,
       {ReadingNote::Kind::kReadAs, word.source, {}, "", std::to_string(number)}});
  QueryNode inner(NodeKind::kNot, word.source);
  inner.children.push_back(std::move(any));
  QueryNode all(NodeKind::kAll, word.source);
  all.children.push_back(std::move(inner));
  QueryNode outer(NodeKind::kNot, word.source);
  outer.children.push_back(std::move(all));
  group.members.push_back(std::move(outer));
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
  if (const unsigned number = numberNamed(foldedText(member.tokens.front())); number != 0) {
    readNumberWord(member, number, group);
    return {};
  }
  return expandWord(member, rewriting, group.members.emplace_back());
}

}  // namespace indicizza
