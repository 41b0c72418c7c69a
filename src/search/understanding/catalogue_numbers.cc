#include "search/understanding/catalogue_numbers.h"

#include <algorithm>

#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"
#include "search/query/term_folding.h"
#include "search/understanding/catalogue_number_aliases_text.h"
#include "search/understanding/index_words.h"

namespace indicizza {
namespace {

constexpr char kComment = '#';
constexpr std::string_view kPartMark = "part:";
constexpr std::string_view kRomanLetters = "IVXLCDM";
constexpr char kQuote = '"';

bool isLetter(char c) {
  const char upper = asciiUpper(c);
  return upper >= 'A' && upper <= 'Z';
}

bool allOf(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

bool isLetters(std::string_view text) { return allOf(text, isLetter); }
bool isNumber(std::string_view text) { return allOf(text, isDigit); }

bool isRoman(std::string_view upper) {
  return !upper.empty() && upper.find_first_not_of(kRomanLetters) == std::string_view::npos;
}

std::string upperOf(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = asciiUpper(c);
  return upper;
}

std::string joined(const std::vector<std::string>& words, std::string_view between) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : std::string(between)) + word;
  return text;
}

// The blank-separated words of a line of the table, upper-cased.
std::vector<std::string> wordsOf(std::string_view line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > at) words.push_back(upperOf(line.substr(at, end - at)));
    at = end;
  }
  return words;
}

// The prefix and number of a token that runs them together ("k331").
bool splitJoined(std::string_view token, std::string& prefix, std::string& number) {
  std::size_t digits = 0;
  while (digits < token.size() && isLetter(token[digits])) ++digits;
  if (digits == 0 || !isNumber(token.substr(digits))) return false;
  prefix = upperOf(token.substr(0, digits));
  number = token.substr(digits);
  return true;
}

}  // namespace

const std::vector<std::string>* aliasGroupOf(const CatalogueNumberAliases& aliases,
                                             std::string_view prefix) {
  for (const std::vector<std::string>& group : aliases.prefixGroups) {
    if (std::find(group.begin(), group.end(), prefix) != group.end()) return &group;
  }
  return nullptr;
}

bool isPartWord(const CatalogueNumberAliases& aliases, std::string_view word) {
  return std::find(aliases.partWords.begin(), aliases.partWords.end(), word) !=
         aliases.partWords.end();
}

CatalogueNumberAliases parseCatalogueNumberAliases(std::string_view text, std::string& error) {
  CatalogueNumberAliases aliases;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == kComment) continue;
    const bool parts = line.starts_with(kPartMark);
    if (parts) line.remove_prefix(kPartMark.size());
    std::vector<std::string> words = wordsOf(line);
    for (const std::string& word : words) {
      if (!isLetters(word)) {
        error =
            "riga " + std::to_string(lineNumber) + ": '" + word + "' non è fatto di sole lettere";
        return {};
      }
    }
    if (words.empty()) continue;
    if (parts) {
      aliases.partWords.insert(aliases.partWords.end(), words.begin(), words.end());
    } else {
      aliases.prefixGroups.push_back(std::move(words));
    }
  }
  return aliases;
}

const CatalogueNumberAliases& builtInCatalogueNumberAliases() {
  static const CatalogueNumberAliases table = [] {
    std::string error;
    return parseCatalogueNumberAliases(kCatalogueNumberAliasText, error);
  }();
  return table;
}

std::optional<TypedCatalogueNumber> catalogueNumberAt(const std::vector<std::string>& tokens,
                                                      const CatalogueNumberAliases& aliases) {
  TypedCatalogueNumber typed;
  std::size_t at = 0;
  if (tokens.empty()) return std::nullopt;
  if (splitJoined(tokens[0], typed.prefix, typed.number)) {
    at = 1;
  } else if (isLetters(tokens[0])) {
    typed.prefix = upperOf(tokens[0]);
    at = 1;
    const bool known = aliasGroupOf(aliases, typed.prefix) != nullptr;
    if (known && at + 1 < tokens.size() && isRoman(upperOf(tokens[at])) &&
        isNumber(tokens[at + 1])) {
      typed.roman = upperOf(tokens[at++]);
    }
    if (at >= tokens.size() || !isNumber(tokens[at])) return std::nullopt;
    typed.number = tokens[at++];
  } else {
    return std::nullopt;
  }
  if (isPartWord(aliases, typed.prefix)) return std::nullopt;
  typed.known = aliasGroupOf(aliases, typed.prefix) != nullptr;
  if (at + 1 < tokens.size() && isPartWord(aliases, upperOf(tokens[at])) &&
      isNumber(tokens[at + 1])) {
    typed.partWord = upperOf(tokens[at]);
    typed.part = tokens[at + 1];
    at += 2;
  }
  typed.tokens = at;
  return typed;
}

std::vector<std::string> codeFormsOf(const TypedCatalogueNumber& typed,
                                     const CatalogueNumberAliases& aliases, bool withoutPart) {
  const std::vector<std::string>* group = aliasGroupOf(aliases, typed.prefix);
  const std::vector<std::string> prefixes = group ? *group : std::vector<std::string>{typed.prefix};
  std::vector<std::string> forms;
  for (const std::string& prefix : prefixes) {
    const std::string base = prefix + typed.roman + typed.number;
    if (typed.part.empty() || withoutPart) {
      forms.push_back(base);
      continue;
    }
    for (const std::string& partWord : aliases.partWords)
      forms.push_back(base + partWord + typed.part);
  }
  return forms;
}

namespace {

// A term typed on its own, anywhere, not a prefix: what a catalogue number
// or a plain number may be made of.
bool isPlainTerm(const QueryNode& node) {
  return node.kind == NodeKind::kTerm && node.scope == FieldScope::kAnywhere && !node.prefix;
}

// A phrase the parser made of one typed item holding separators ("op.37").
bool isUnquotedPhrase(const QueryNode& node) {
  return node.kind == NodeKind::kPhrase && node.scope == FieldScope::kAnywhere &&
         !node.source.empty() && node.source.front() != kQuote;
}

bool isNumberTerm(const QueryNode& node) {
  return isPlainTerm(node) && isNumber(node.tokens.front());
}

// A member of an AND that asks `node` of the records the AND's other
// members propose, and proposes none itself (runQuery takes candidates only
// from the members that are not negations): NOT(AND(NOT(node))). For a
// number in a title, which the index never holds.
QueryNode checkedOnRecordText(QueryNode node) {
  const std::string source = node.source;
  QueryNode inner(NodeKind::kNot, source);
  inner.children.push_back(std::move(node));
  QueryNode all(NodeKind::kAll, source);
  all.children.push_back(std::move(inner));
  QueryNode outer(NodeKind::kNot, source);
  outer.children.push_back(std::move(all));
  return outer;
}

void checkOnRecordText(QueryNode text, RewriteGroup& group) {
  group.checkedOnly.emplace_back(group.members.size(), text);
  group.members.push_back(checkedOnRecordText(std::move(text)));
}

// Phrases of `typed` spelled with each other prefix of its group, as
// titles write them ("kv 331", "opus 37 no 2"); none for a prefix the
// table does not know.
std::vector<QueryNode> otherSpellings(const TypedCatalogueNumber& typed,
                                      const CatalogueNumberAliases& aliases) {
  std::vector<QueryNode> spellings;
  const std::vector<std::string>* group = aliasGroupOf(aliases, typed.prefix);
  if (group == nullptr) return spellings;
  for (const std::string& prefix : *group) {
    if (prefix == typed.prefix) continue;
    QueryNode phrase(NodeKind::kPhrase, "");
    phrase.tokens = {prefix};
    if (!typed.roman.empty()) phrase.tokens.push_back(typed.roman);
    phrase.tokens.push_back(typed.number);
    if (!typed.part.empty())
      phrase.tokens.insert(phrase.tokens.end(), {typed.partWord, typed.part});
    phrase.source = kQuote + shownTerm(joined(phrase.tokens, " ")) + kQuote;
    spellings.push_back(std::move(phrase));
  }
  return spellings;
}

// One member for `alternatives`: the only one, or an OR of them.
QueryNode anyOf(std::string source, std::vector<QueryNode> alternatives) {
  if (alternatives.size() == 1) return std::move(alternatives.front());
  QueryNode any(NodeKind::kAny, std::move(source));
  any.children = std::move(alternatives);
  return any;
}

// The catalogue number typed at members[i], when there is one (see
// readNumber).
Status readCatalogueNumber(const std::vector<QueryNode>& members, std::size_t i,
                           Rewriting& rewriting, RewriteGroup& group, std::size_t& taken,
                           std::vector<std::string>& fromPhrases) {
  const CatalogueNumberAliases& aliases = rewriting.aliases;
  std::vector<std::string> tokens;
  const bool phrase = isUnquotedPhrase(members[i]);
  if (phrase) {
    tokens = members[i].tokens;
  } else {
    for (std::size_t j = i; j < members.size() && isPlainTerm(members[j]); ++j) {
      tokens.push_back(members[j].tokens.front());
    }
  }
  const std::optional<TypedCatalogueNumber> typed = catalogueNumberAt(tokens, aliases);
  if (!typed || (phrase && typed->tokens != tokens.size())) return {};
  const std::size_t count = phrase ? 1 : typed->tokens;

  QueryNode text(NodeKind::kPhrase, "");
  std::vector<std::string> sources;
  for (std::size_t j = i; j < i + count; ++j) {
    sources.push_back(members[j].source);
    text.tokens.insert(text.tokens.end(), members[j].tokens.begin(), members[j].tokens.end());
  }
  text.source = joined(sources, " ");
  if (text.tokens.size() == 1) text.kind = NodeKind::kTerm;  // "k331": a code as typed

  // What the index holds: the codes with the part typed, else without it;
  // whether the text as typed and each other spelling can propose records.
  std::vector<QueryNode> phrases = otherSpellings(*typed, aliases);
  phrases.insert(phrases.begin(), text);
  HeldInIndex held;
  const Status looked = rewriting.index.lookUp(
      {codeFormsOf(*typed, aliases, false),
       typed->part.empty() ? std::vector<std::string>() : codeFormsOf(*typed, aliases, true)},
      phrases, rewriting.stopWords, held);
  if (!looked.ok()) return looked;
  const bool partLeftOut = held.keys[0].empty() && !held.keys[1].empty();
  const std::vector<std::string>& codes = partLeftOut ? held.keys[1] : held.keys[0];
  if (codes.empty() && !typed->known) return {};
  taken = count;

  std::vector<QueryNode> alternatives;
  for (const std::string& code : codes) {
    QueryNode term(NodeKind::kTerm, latin1ToUtf8(code));
    term.tokens = {code};
    alternatives.push_back(std::move(term));
  }
  // The number as typed, and as titles may spell it with another prefix
  // of its group ("KV 331" for "k 331"): each that can propose records.
  for (std::size_t p = 0; p < phrases.size(); ++p) {
    if (held.proposing[p] && (p > 0 || text.kind == NodeKind::kPhrase))
      alternatives.push_back(std::move(phrases[p]));
  }
  if (codes.empty()) {
    if (alternatives.empty()) {
      checkOnRecordText(std::move(text), group);
    } else {
      rewriting.notes.push_back({ReadingNote::Kind::kCatalogueNumberInText, text.source, {}, ""});
      group.members.push_back(anyOf(text.source, std::move(alternatives)));
    }
    return {};
  }
  if (phrase) fromPhrases.push_back(members[i].source);
  if (text.kind == NodeKind::kTerm && codes.size() == 1 &&
      foldedText(codes.front()) == foldedText(text.tokens.front())) {
    group.members.push_back(members[i]);  // typed as the index holds it
    return {};
  }
  rewriting.notes.push_back({ReadingNote::Kind::kCatalogueNumber, text.source, codes,
                             partLeftOut ? typed->partWord + " " + typed->part : ""});
  group.members.push_back(anyOf(text.source, std::move(alternatives)));
  return {};
}

// A number on its own at members[i]: a code when the index holds it;
// otherwise a number in a title, checked on the text (after the stop word
// typed before it, "no 5", when there is one).
Status readPlainNumber(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                       RewriteGroup& group) {
  const QueryNode& number = members[i];
  HeldInIndex held;
  const Status looked = rewriting.index.lookUp({{number.tokens.front()}}, {}, {}, held);
  if (!looked.ok()) return looked;
  if (!held.keys[0].empty()) {
    group.members.push_back(number);
    return {};
  }
  QueryNode text(NodeKind::kPhrase, number.source);
  text.tokens = number.tokens;
  const QueryNode* before = i > 0 ? &members[i - 1] : nullptr;
  if (before && !group.stopWords.empty() && before->kind == NodeKind::kTerm && !before->prefix &&
      before->scope != FieldScope::kCodeField && !holdsDigit(before->tokens.front()) &&
      group.stopWords.back().source == before->source) {
    text.tokens.insert(text.tokens.begin(), before->tokens.front());
    text.source = before->source + " " + number.source;
    group.stopWords.pop_back();
  }
  checkOnRecordText(std::move(text), group);
  return {};
}

}  // namespace

Status readNumber(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                  RewriteGroup& group, std::size_t& taken, std::vector<std::string>& fromPhrases) {
  taken = 0;
  const Status read = readCatalogueNumber(members, i, rewriting, group, taken, fromPhrases);
  if (!read.ok() || taken != 0 || !isNumberTerm(members[i])) return read;
  taken = 1;
  return readPlainNumber(members, i, rewriting, group);
}

}  // namespace indicizza
