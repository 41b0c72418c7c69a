#include "search/understanding/catalogue_numbers.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/catalogue_number_aliases_text.h"
#include "search/understanding/index_words.h"
#include "search/understanding/music_words.h"
#include "search/understanding/word_list_lines.h"

namespace indicizza {
namespace {

constexpr std::string_view kPartMark = "part:";
constexpr std::string_view kAnnexMark = "annex:";
constexpr std::string_view kGroupsMark = "groups:";
constexpr std::string_view kComposerMark = "composer ";
// The prefix that brings in an opus, whose second number is a part: "op 10/3".
constexpr std::string_view kOpusPrefix = "OP";
constexpr std::string_view kRomanLetters = "IVXLCDM";

bool isLetter(char c) {
  const char upper = asciiUpper(c);
  return upper >= 'A' && upper <= 'Z';
}

bool allOf(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

bool isLetters(std::string_view text) { return allOf(text, isLetter); }
bool isDigits(std::string_view text) { return allOf(text, isDigit); }

// Digits, perhaps one letter after them: "117a", "81a".
bool isNumber(std::string_view text) {
  if (!text.empty() && isLetter(text.back()) && text.size() > 1) text.remove_suffix(1);
  return isDigits(text);
}

// `digits` (1 to 39) in Roman numerals, or "" past them.
std::string romanOf(std::string_view digits) {
  constexpr unsigned kLargestGroup = 39;
  static constexpr std::pair<unsigned, std::string_view> kRoman[] = {
      {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
  unsigned value = 0;
  for (const char digit : digits) value = value * 10 + static_cast<unsigned>(digit - '0');
  if (value == 0 || value > kLargestGroup) return "";
  std::string roman;
  for (const auto& [step, letters] : kRoman) {
    for (; value >= step; value -= step) roman += letters;
  }
  return roman;
}

bool isRoman(std::string_view upper) {
  return !upper.empty() && upper.find_first_not_of(kRomanLetters) == std::string_view::npos;
}

// Whether `upper` names a group of a grouped catalogue: a Roman numeral,
// perhaps with the letter A of a group's second part (Hoboken's XXVIa).
bool isGroupNumeral(std::string_view upper) {
  if (upper.size() > 1 && upper.back() == 'A') upper.remove_suffix(1);
  return isRoman(upper);
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

// The letters and number of a token that runs them together ("k331",
// "anh121").
bool splitJoined(std::string_view token, std::string& prefix, std::string& number) {
  std::size_t digits = 0;
  while (digits < token.size() && isLetter(token[digits])) ++digits;
  if (digits == 0 || !isNumber(token.substr(digits))) return false;
  prefix = upperOf(token.substr(0, digits));
  number = upperOf(token.substr(digits));
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
    if (line.empty() || line.front() == kWordListCommentMark) continue;
    std::vector<std::string>* into = nullptr;  // a line of words, or a group
    std::string composer;
    if (line.starts_with(kPartMark)) {
      into = &aliases.partWords;
      line.remove_prefix(kPartMark.size());
    } else if (line.starts_with(kAnnexMark)) {
      into = &aliases.annexWords;
      line.remove_prefix(kAnnexMark.size());
    } else if (line.starts_with(kGroupsMark)) {
      into = &aliases.groupedPrefixes;
      line.remove_prefix(kGroupsMark.size());
    } else if (line.starts_with(kComposerMark) && line.find(':') != std::string_view::npos) {
      composer =
          std::string(line.substr(kComposerMark.size(), line.find(':') - kComposerMark.size()));
      line.remove_prefix(line.find(':') + 1);
    }
    std::vector<std::string> words = wordsOf(line);
    for (const std::string& word : words) {
      if (!isLetters(word)) {
        error =
            "riga " + std::to_string(lineNumber) + ": '" + word + "' non è fatto di sole lettere";
        return {};
      }
    }
    if (words.empty()) continue;
    if (into) {
      into->insert(into->end(), words.begin(), words.end());
    } else if (!composer.empty()) {
      for (std::string& prefix : words) aliases.composers.emplace_back(std::move(prefix), composer);
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
    const bool grouped = isIn(aliases.groupedPrefixes, typed.prefix);
    if (known && at + 1 < tokens.size() && isNumber(tokens[at + 1])) {
      const std::string group = upperOf(tokens[at]);
      if (isRoman(group) || (grouped && isGroupNumeral(group))) {
        typed.roman = group;
        ++at;
      } else if (grouped && isDigits(group) && !romanOf(group).empty()) {
        typed.roman = romanOf(group);
        ++at;
      }
    }
    if (at < tokens.size() && typed.roman.empty()) {
      // An appendix word, alone ("anh", "117a") or run into its number.
      std::string word, number;
      if (isIn(aliases.annexWords, upperOf(tokens[at])) && at + 1 < tokens.size() &&
          isNumber(tokens[at + 1])) {
        typed.annex = aliases.annexWords.front();
        ++at;
      } else if (splitJoined(tokens[at], word, number) && isIn(aliases.annexWords, word)) {
        typed.annex = aliases.annexWords.front();
        typed.number = number;
        ++at;
      }
    }
    if (typed.number.empty()) {
      if (at >= tokens.size() || !isNumber(tokens[at])) return std::nullopt;
      typed.number = upperOf(tokens[at++]);
    }
  } else {
    return std::nullopt;
  }
  if (isPartWord(aliases, typed.prefix) || isIn(aliases.annexWords, typed.prefix))
    return std::nullopt;
  typed.known = aliasGroupOf(aliases, typed.prefix) != nullptr;
  if (at + 1 < tokens.size() && isPartWord(aliases, upperOf(tokens[at])) &&
      isNumber(tokens[at + 1])) {
    typed.partWord = upperOf(tokens[at]);
    typed.part = upperOf(tokens[at + 1]);
    at += 2;
  } else if (at < tokens.size() && isDigits(tokens[at]) && !aliases.partWords.empty() &&
             aliasGroupOf(aliases, typed.prefix) == aliasGroupOf(aliases, kOpusPrefix)) {
    typed.partWord = aliases.partWords.front();  // "op 10/3": the part without its word
    typed.part = tokens[at++];
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
    const std::string base = prefix + typed.roman + typed.annex + typed.number;
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

bool isNumberTerm(const QueryNode& node) {
  return isPlainTerm(node) && isNumber(node.tokens.front());
}

// Asks `text` (a number as typed), or any of `alternatives`, of the text
// of the records the AND's other members find, as a member that proposes
// no record itself (runQuery takes candidates only from the members that
// are not negations): NOT(AND(NOT(OR(text, alternatives...)))). For a
// number in a title, which the index never holds.
void checkOnRecordText(QueryNode text, std::vector<QueryNode> alternatives, RewriteGroup& group) {
  const std::string source = text.source;
  group.checkedOnly.push_back(
      {group.members.size(), text, {ReadingNote::Kind::kNumberInText, source, {}, "", ""}});
  QueryNode checked = std::move(text);
  if (!alternatives.empty()) {
    QueryNode any(NodeKind::kAny, source);
    any.children.push_back(std::move(checked));
    for (QueryNode& alternative : alternatives) any.children.push_back(std::move(alternative));
    checked = std::move(any);
  }
  QueryNode inner(NodeKind::kNot, source);
  inner.children.push_back(std::move(checked));
  QueryNode all(NodeKind::kAll, source);
  all.children.push_back(std::move(inner));
  QueryNode outer(NodeKind::kNot, source);
  outer.children.push_back(std::move(all));
  group.members.push_back(std::move(outer));
}

// Phrases of `typed` spelled with each prefix of its group (but the typed
// one, without `withTyped`), as titles and code fields write them ("kv
// 331", "opus 37 no 2", "hob xvi 52", "hobxvi 52", "bwv anh 117a"); for a
// prefix the table does not know, with it alone, or none.
std::vector<QueryNode> textSpellings(const TypedCatalogueNumber& typed,
                                     const CatalogueNumberAliases& aliases, bool withTyped) {
  std::vector<QueryNode> spellings;
  const std::vector<std::string>* group = aliasGroupOf(aliases, typed.prefix);
  if (group == nullptr && !withTyped) return spellings;
  const std::vector<std::string> prefixes = group ? *group : std::vector<std::string>{typed.prefix};
  std::vector<std::string> part;
  if (!typed.part.empty()) part = {typed.partWord, typed.part};
  for (const std::string& prefix : prefixes) {
    if (prefix == typed.prefix && !withTyped) continue;
    std::vector<std::vector<std::string>> tokenLists;
    std::vector<std::string> tokens = {prefix};
    if (!typed.roman.empty()) tokens.push_back(typed.roman);
    if (!typed.annex.empty()) tokens.push_back(typed.annex);
    tokens.push_back(typed.number);
    tokenLists.push_back(tokens);
    if (!typed.roman.empty()) tokenLists.push_back({prefix + typed.roman, typed.number});
    for (std::vector<std::string>& list : tokenLists) {
      list.insert(list.end(), part.begin(), part.end());
      QueryNode phrase(NodeKind::kPhrase, "");
      phrase.source = kPhraseQuote + shownTerm(joined(list, " ")) + kPhraseQuote;
      phrase.tokens = std::move(list);
      spellings.push_back(std::move(phrase));
    }
  }
  return spellings;
}

// The records of `composer` (T1) whose text holds one of `spellings` or
// `codes`: AND(T1:composer, NOT(AND(NOT(OR(...))))), which the index
// proposes by the composer alone.
QueryNode composersRecordsHolding(std::string_view composer, std::vector<QueryNode> spellings,
                                  const std::vector<std::string>& codes,
                                  const std::string& source) {
  QueryNode name(NodeKind::kPhrase, std::string(composer));
  forEachToken(composer, [&](std::string_view token) { name.tokens.emplace_back(token); });
  if (name.tokens.size() == 1) name.kind = NodeKind::kTerm;
  name.scope = FieldScope::kTextField;
  name.field = 1;
  QueryNode any(NodeKind::kAny, source);
  for (const QueryNode& spelling : spellings) {
    QueryNode inCodes = spelling;  // the code fields' text, past a code's cut
    inCodes.scope = FieldScope::kCodeField;
    inCodes.field = 0;
    any.children.push_back(std::move(inCodes));
  }
  any.children.insert(any.children.end(), spellings.begin(), spellings.end());
  for (const std::string& code : codes) {
    QueryNode term(NodeKind::kTerm, latin1ToUtf8(code));
    term.tokens = {code};
    any.children.push_back(std::move(term));
  }
  QueryNode inner(NodeKind::kNot, source);
  inner.children.push_back(std::move(any));
  QueryNode checks(NodeKind::kAll, source);
  checks.children.push_back(std::move(inner));
  QueryNode checked(NodeKind::kNot, source);
  checked.children.push_back(std::move(checks));
  QueryNode works(NodeKind::kAll, source);
  works.children.push_back(std::move(name));
  works.children.push_back(std::move(checked));
  return works;
}

// For a prefix that only one composer's works carry, that composer's
// records whose code or text holds the number, which the index can't
// propose by the number itself when the indexer cut the code before it
// ("Hob.I:94") or the title alone holds it.
std::optional<QueryNode> composersWorks(const TypedCatalogueNumber& typed,
                                        const CatalogueNumberAliases& aliases,
                                        const std::string& source) {
  const std::vector<std::string>* group = aliasGroupOf(aliases, typed.prefix);
  if (group == nullptr) return std::nullopt;
  const auto composer = std::find_if(aliases.composers.begin(), aliases.composers.end(),
                                     [&](const auto& entry) { return isIn(*group, entry.first); });
  if (composer == aliases.composers.end()) return std::nullopt;
  return composersRecordsHolding(composer->second, textSpellings(typed, aliases, true),
                                 codeFormsOf(typed, aliases, false), source);
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
  // The tokens of the run of plain terms and items with separators from i
  // on ("hob", "16/27"), and where each member ends.
  std::vector<std::string> tokens;
  std::vector<std::size_t> ends;
  for (std::size_t j = i;
       j < members.size() && (isPlainTerm(members[j]) || isUnquotedPhrase(members[j])); ++j) {
    tokens.insert(tokens.end(), members[j].tokens.begin(), members[j].tokens.end());
    ends.push_back(tokens.size());
  }
  const std::optional<TypedCatalogueNumber> typed = catalogueNumberAt(tokens, aliases);
  if (!typed) return {};
  // It must take whole members.
  const auto end = std::find(ends.begin(), ends.end(), typed->tokens);
  if (end == ends.end()) return {};
  const std::size_t count = static_cast<std::size_t>(end - ends.begin()) + 1;

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
  std::vector<QueryNode> phrases = textSpellings(*typed, aliases, false);
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
  // The parser's notes on these items (a code cut at its separator) no
  // longer hold: the number is read here, and its own note says how.
  for (std::size_t j = i; j < i + count; ++j) {
    if (isUnquotedPhrase(members[j])) fromPhrases.push_back(members[j].source);
  }

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
      alternatives.push_back(phrases[p]);
  }
  // And a composer's works whose codes or titles hold the number, where the
  // index can't tell them by it.
  std::optional<QueryNode> works = composersWorks(*typed, aliases, text.source);
  if (works) alternatives.push_back(std::move(*works));
  if (codes.empty()) {
    if (alternatives.empty()) {
      checkOnRecordText(std::move(text), {}, group);
    } else {
      rewriting.notes.push_back(
          {ReadingNote::Kind::kCatalogueNumberInText, text.source, {}, "", ""});
      group.members.push_back(anyOf(text.source, std::move(alternatives)));
    }
    return {};
  }
  if (text.kind == NodeKind::kTerm && codes.size() == 1 &&
      foldedText(codes.front()) == foldedText(text.tokens.front())) {
    group.members.push_back(members[i]);  // typed as the index holds it
    return {};
  }
  rewriting.notes.push_back({ReadingNote::Kind::kCatalogueNumber, text.source, codes,
                             partLeftOut ? typed->partWord + " " + typed->part : "", ""});
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
  // Titles write the number in digits, as a Roman numeral after "No.", or
  // in words.
  std::vector<QueryNode> alternatives;
  unsigned value = 0;
  std::from_chars(number.tokens.front().data(),
                  number.tokens.front().data() + number.tokens.front().size(), value);
  for (std::vector<std::string>& spelling :
       value == 0 ? std::vector<std::vector<std::string>>() : numberSpellings(value)) {
    if (spelling.size() == 1 && spelling.front() == number.tokens.front()) continue;
    // Digits are a number of the text only in a phrase (a term with a digit is a code).
    const bool words = spelling.size() == 1 && !holdsDigit(spelling.front());
    QueryNode spelled(words ? NodeKind::kTerm : NodeKind::kPhrase, number.source);
    spelled.tokens = std::move(spelling);
    alternatives.push_back(std::move(spelled));
  }
  // A title may number a work in Roman numerals right after its word
  // ("Contrapunctus IX" for "contrapunctus 9").
  if (before && before->kind == NodeKind::kTerm && !holdsDigit(before->tokens.front()) &&
      value != 0) {
    const std::vector<std::vector<std::string>> spellings = numberSpellings(value);
    const auto roman = std::find_if(spellings.begin(), spellings.end(),
                                    [](const auto& spelling) { return spelling.size() == 2; });
    if (roman != spellings.end()) {
      QueryNode numbered(NodeKind::kPhrase, number.source);
      numbered.tokens = {before->tokens.front(), roman->back()};
      alternatives.push_back(std::move(numbered));
    }
  }
  checkOnRecordText(std::move(text), std::move(alternatives), group);
  return {};
}

}  // namespace

std::optional<QueryNode> worksNumbered(std::string_view composer, std::string_view number,
                                       const CatalogueNumberAliases& aliases) {
  std::vector<std::string> tokens;
  forEachToken(number, [&](std::string_view token) { tokens.emplace_back(token); });
  const std::optional<TypedCatalogueNumber> typed = catalogueNumberAt(tokens, aliases);
  if (!typed || typed->tokens != tokens.size()) return std::nullopt;
  return composersRecordsHolding(composer, textSpellings(*typed, aliases, true),
                                 codeFormsOf(*typed, aliases, false), std::string(number));
}

Status readNumber(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                  RewriteGroup& group, std::size_t& taken, std::vector<std::string>& fromPhrases) {
  taken = 0;
  const Status read = readCatalogueNumber(members, i, rewriting, group, taken, fromPhrases);
  if (!read.ok() || taken != 0 || !isNumberTerm(members[i])) return read;
  taken = 1;
  return readPlainNumber(members, i, rewriting, group);
}

}  // namespace indicizza
