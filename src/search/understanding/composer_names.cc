#include "search/understanding/composer_names.h"

#include <algorithm>
#include <deque>
#include <set>

#include "indexing/byte_classes.h"
#include "search/query/term_folding.h"
#include "search/understanding/index_words.h"

namespace indicizza {
namespace {

// Spellings that transliterations use for one sound, each class's first the
// one its key takes. Longer spellings are tried first where two start at
// the same place.
struct SpellingClass {
  std::vector<std::string_view> spellings;
  bool atEndOnly;
};
const std::vector<SpellingClass>& spellingClasses() {
  static const std::vector<SpellingClass> classes = {
      {{"TSCH", "TCH", "CH"}, false},
      {{"SCH", "SH"}, false},
      {{"KH", "CH"}, false},
      {{"V", "FF", "W", "F"}, true},
      {{"I", "IJ", "Y", "J", "II"}, true},
      {{"V", "W"}, false},
      {{"I", "J", "Y"}, false},
      {{"K", "CK"}, false},
      {{"X", "KS"}, false},
      {{"U", "OU"}, false},
      {{"S", "SS"}, false},
      {{"F", "PH"}, false},
  };
  return classes;
}

// One piece of a name: a literal byte, or a spelling of a class.
struct Piece {
  std::string text;
  const SpellingClass* spellings = nullptr;
};

// `folded` cut into pieces: at each place the longest spelling of some
// class that stands there (at the end, for a class of endings), else a
// byte.
std::vector<Piece> piecesOf(std::string_view folded) {
  std::vector<Piece> pieces;
  std::size_t at = 0;
  while (at < folded.size()) {
    Piece best{std::string(1, folded[at]), nullptr};
    for (const SpellingClass& spellings : spellingClasses()) {
      for (const std::string_view spelling : spellings.spellings) {
        if (folded.substr(at).starts_with(spelling) && spelling.size() >= best.text.size() &&
            (!spellings.atEndOnly || at + spelling.size() == folded.size()) &&
            (best.spellings == nullptr || spelling.size() > best.text.size())) {
          best = {std::string(spelling), &spellings};
        }
      }
    }
    at += best.text.size();
    pieces.push_back(std::move(best));
  }
  return pieces;
}

// A word of 2 to 3 letters: initials run together.
constexpr std::size_t kFewestInitials = 2;
constexpr std::size_t kMostInitials = 3;
// Spellings looked up for each word of a name, and kept of those held.
constexpr std::size_t kMostSpellings = 64;
constexpr std::size_t kMostHeldSpellings = 2;

bool isInitials(std::string_view token) {
  return token.size() >= kFewestInitials && token.size() <= kMostInitials &&
         std::all_of(token.begin(), token.end(), [](char c) {
           const char upper = asciiUpper(c);
           return upper >= 'A' && upper <= 'Z';
         });
}

bool isPlainWord(const QueryNode& node) {
  return node.kind == NodeKind::kTerm && node.scope == FieldScope::kAnywhere && !node.prefix &&
         !holdsDigit(node.tokens.front());
}

}  // namespace

std::string transliterationKey(std::string_view folded) {
  std::string key;
  for (const Piece& piece : piecesOf(folded))
    key += piece.spellings ? std::string(piece.spellings->spellings.front()) : piece.text;
  return key;
}

std::vector<std::string> transliterationsOf(std::string_view folded, std::size_t most) {
  const std::vector<Piece> pieces = piecesOf(folded);
  // Breadth first over the pieces changed: one change, then two, ...
  std::vector<std::string> found;
  std::set<std::string> seen = {std::string(folded)};
  std::deque<std::pair<std::vector<std::string>, std::size_t>>
      todo;  // (spelled pieces, next place)
  std::vector<std::string> start;
  for (const Piece& piece : pieces) start.push_back(piece.text);
  todo.emplace_back(start, 0);
  while (!todo.empty() && found.size() < most) {
    auto [spelled, from] = todo.front();
    todo.pop_front();
    for (std::size_t p = from; p < pieces.size() && found.size() < most; ++p) {
      if (!pieces[p].spellings) continue;
      for (const std::string_view spelling : pieces[p].spellings->spellings) {
        if (spelling == pieces[p].text) continue;
        std::vector<std::string> changed = spelled;
        changed[p] = spelling;
        std::string word;
        for (const std::string& text : changed) word += text;
        if (!seen.insert(word).second) continue;
        found.push_back(word);
        todo.emplace_back(std::move(changed), p + 1);
        if (found.size() >= most) break;
      }
    }
  }
  return found;
}

Status readNamePhrase(const QueryNode& member, Rewriting& rewriting, RewriteGroup& group,
                      bool& read) {
  read = false;
  if (member.kind != NodeKind::kPhrase || member.scope != FieldScope::kAnywhere ||
      member.source.empty() || member.source.front() == kPhraseQuote)
    return {};
  // Each word's spellings the index holds: itself when it holds it, else
  // its other transliterations.
  std::vector<std::vector<std::string>> spellings;
  bool changed = false;
  for (const std::string& token : member.tokens) {
    if (holdsDigit(token)) return {};
    bool held = false;
    Status looked = rewriting.index.isInIndex(token, held);
    if (!looked.ok()) return looked;
    std::vector<std::string>& these = spellings.emplace_back();
    if (held) {
      these.push_back(token);
      continue;
    }
    for (const std::string& spelling : transliterationsOf(foldedText(token), kMostSpellings)) {
      looked = rewriting.index.isInIndex(spelling, held);
      if (!looked.ok()) return looked;
      if (held) these.push_back(spelling);
      if (these.size() >= kMostHeldSpellings) break;
    }
    if (these.empty()) return {};
    changed = true;
  }
  if (!changed) return {};
  // Every phrase the spellings make, the fewest first.
  std::vector<std::vector<std::string>> phrases = {{}};
  for (const std::vector<std::string>& these : spellings) {
    std::vector<std::vector<std::string>> longer;
    for (const std::vector<std::string>& phrase : phrases) {
      for (const std::string& spelling : these) {
        longer.push_back(phrase);
        longer.back().push_back(spelling);
      }
    }
    phrases = std::move(longer);
  }
  QueryNode any(NodeKind::kAny, member.source);
  any.children.push_back(member);
  std::string meaning;
  for (std::vector<std::string>& tokens : phrases) {
    QueryNode phrase(NodeKind::kPhrase, "");
    std::string shown;
    for (const std::string& token : tokens) shown += (shown.empty() ? "" : " ") + asciiLower(token);
    phrase.source = kPhraseQuote + shown + kPhraseQuote;
    phrase.tokens = std::move(tokens);
    phrase.scope = FieldScope::kTextField;
    phrase.field = 1;
    meaning += (meaning.empty() ? "" : ", ") + shown;
    any.children.push_back(std::move(phrase));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs, member.source, {}, "", meaning});
  group.members.push_back(std::move(any));
  read = true;
  return {};
}

Status readInitials(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                    RewriteGroup& group, std::size_t& taken) {
  taken = 0;
  if (i + 1 >= members.size() || !isPlainWord(members[i]) || !isPlainWord(members[i + 1]))
    return {};
  const std::string& initials = members[i].tokens.front();
  if (!isInitials(initials) || rewriting.stopWords.contains(foldedText(initials))) return {};
  bool held = false;
  const Status looked = rewriting.index.isInIndex(initials, held);
  if (!looked.ok() || held) return looked;
  const QueryNode& surname = members[i + 1];
  QueryNode phrase(NodeKind::kPhrase, "");
  std::string shown;
  for (const char initial : initials) {
    phrase.tokens.emplace_back(1, asciiUpper(initial));
    shown += std::string(1, asciiUpper(initial)) + ". ";
  }
  phrase.tokens.push_back(surname.tokens.front());
  phrase.scope = FieldScope::kTextField;
  phrase.field = 1;
  phrase.source = "T1:" + std::string(1, kPhraseQuote) + asciiLower(initials) + " " +
                  surname.source + kPhraseQuote;
  taken = 2;
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs,
                             members[i].source + " " + surname.source,
                             {},
                             "",
                             shown + surname.source});
  group.members.push_back(std::move(phrase));
  return {};
}

}  // namespace indicizza
