#include "search/query/query_parser.h"

#include <cstddef>

#include "catalogue/text/latin1.h"
#include "indexing/term_rules.h"
#include "search/query/year_range.h"

namespace indicizza {
namespace {

constexpr char kExclude = '-';
constexpr char kPrefixMark = '*';
// Groups one inside another, at the most: the parser, and every walk of the
// tree after it, go one call deeper per group.
constexpr std::size_t kMaxGroupDepth = 100;

// Thrown inside the parser only; parseQuery turns it into QueryParse::error.
struct QueryError {
  std::string message;
};

[[noreturn]] void fail(std::string message) { throw QueryError{std::move(message)}; }

std::string shownQuoted(std::string_view latin1) { return "'" + latin1ToUtf8(latin1) + "'"; }

// The query as Latin-1, its blank-separated parts converted one by one.
std::string latin1Query(std::string_view text) {
  std::string latin1;
  std::size_t at = 0;
  while (at < text.size()) {
    if (isQuerySpace(text[at])) {
      latin1 += ' ';
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !isQuerySpace(text[end])) ++end;
    std::string part(text.substr(at, end - at));
    // A Latin letter beyond Latin-1 is looked for as cifra --translittera
    // and the demo store it: Dvořák as Dvorák, œ as oe.
    const Latin1Conversion converted =
        utf8ToLatin1(part, Typographic::kReplaced, Letters::kTransliterated);
    if (converted.ok()) {
      latin1 += converted.latin1;
    } else if (converted.malformed) {
      latin1 += part;  // not UTF-8: taken as the catalogue's own Latin-1
    } else {
      fail("'" + part + "': " + converted.error + " (il catalogo è in Latin-1)");
    }
    at = end;
  }
  return latin1;
}

enum class LexemeKind { kOpen, kClose, kOr, kAnd, kNot, kItem };

// One unit of the query text: a parenthesis, an operator, or an item (a
// term, a prefix or a quoted phrase, maybe with a field and a minus sign).
struct Lexeme {
  LexemeKind kind = LexemeKind::kItem;
  std::string source;  // Latin-1, as written
  bool excluded = false;
  FieldScope scope = FieldScope::kAnywhere;
  int field = 0;
  bool quotedPhrase = false;
  bool prefix = false;
  std::string text;  // the item's text, without sign, field, quotes or star
};

// Reads a field mark at `at` (T1:-T7:, C1:-C5:, either case); returns its
// length, 0 when there is none. A letter and digits before the colon that
// are no field are an error.
std::size_t readField(std::string_view query, std::size_t at, Lexeme& lexeme) {
  if (at >= query.size()) return 0;
  const char letter = asciiUpper(query[at]);
  if (letter != 'T' && letter != 'C') return 0;
  std::size_t end = at + 1;
  while (end < query.size() && isDigit(query[end])) ++end;
  if (end == at + 1 || end >= query.size() || query[end] != kFieldMark) return 0;
  const std::string_view digits = query.substr(at + 1, end - at - 1);
  const int number = digits.size() > 2 ? 0 : std::stoi(std::string(digits));
  const int last = letter == 'T' ? 7 : 5;
  if (number < 1 || number > last) {
    fail("campo sconosciuto " + shownQuoted(query.substr(at, end + 1 - at)) +
         " (campi: T1-T7, C1-C5)");
  }
  lexeme.scope = letter == 'T' ? FieldScope::kTextField : FieldScope::kCodeField;
  lexeme.field = number;
  return end + 1 - at;
}

Lexeme lexemeOf(LexemeKind kind, std::string source) {
  Lexeme lexeme;
  lexeme.kind = kind;
  lexeme.source = std::move(source);
  return lexeme;
}

QueryNode nodeOf(NodeKind kind) {
  QueryNode node;
  node.kind = kind;
  return node;
}

std::vector<Lexeme> lex(std::string_view query) {
  std::vector<Lexeme> lexemes;
  std::size_t at = 0;
  while (at < query.size()) {
    const char c = query[at];
    if (isQuerySpace(c)) {
      ++at;
      continue;
    }
    if (c == kOpenGroup || c == kCloseGroup) {
      lexemes.push_back(
          lexemeOf(c == kOpenGroup ? LexemeKind::kOpen : LexemeKind::kClose, std::string(1, c)));
      ++at;
      continue;
    }
    const std::size_t start = at;
    Lexeme item = lexemeOf(LexemeKind::kItem, "");
    if (c == kExclude && at + 1 < query.size() && query[at + 1] == kOpenGroup) {
      lexemes.push_back(lexemeOf(LexemeKind::kNot, "-"));
      ++at;
      continue;
    }
    if (c == kExclude && at + 1 < query.size() && !isQuerySpace(query[at + 1])) {
      item.excluded = true;
      ++at;
    }
    at += readField(query, at, item);
    if (at < query.size() && query[at] == kPhraseQuote) {
      const std::size_t close = query.find(kPhraseQuote, at + 1);
      if (close == std::string_view::npos)
        fail("virgolette non chiuse: " + shownQuoted(query.substr(start)));
      item.quotedPhrase = true;
      item.text = query.substr(at + 1, close - at - 1);
      at = close + 1;
      if (at < query.size() && !isQuerySpace(query[at]) && query[at] != kCloseGroup) {
        std::size_t end = at;
        while (end < query.size() && !isQuerySpace(query[end])) ++end;
        fail("testo attaccato alle virgolette: " + shownQuoted(query.substr(start, end - start)));
      }
    } else {
      std::size_t end = at;
      while (end < query.size() && !isQuerySpace(query[end]) && query[end] != kOpenGroup &&
             query[end] != kCloseGroup && query[end] != kPhraseQuote) {
        ++end;
      }
      item.text = query.substr(at, end - at);
      at = end;
      if (item.text.size() > 1 && item.text.back() == kPrefixMark) {
        item.prefix = true;
        item.text.pop_back();
      }
    }
    item.source = query.substr(start, at - start);
    if (item.text.empty() && !item.quotedPhrase) {
      if (item.scope != FieldScope::kAnywhere) {
        fail(shownQuoted(item.source) + ": manca il termine da cercare nel campo");
      }
      fail("Parola senza termini da cercare: " + shownQuoted(item.source));
    }
    const bool plain =
        !item.excluded && item.scope == FieldScope::kAnywhere && !item.quotedPhrase && !item.prefix;
    if (plain && item.text == kOrWord) item.kind = LexemeKind::kOr;
    if (plain && item.text == kAndWord) item.kind = LexemeKind::kAnd;
    if (plain && item.text == kNotWord) item.kind = LexemeKind::kNot;
    lexemes.push_back(std::move(item));
  }
  return lexemes;
}

class Parser {
 public:
  Parser(std::vector<Lexeme> lexemes, std::vector<std::string>& notes)
      : lexemes_(std::move(lexemes)), notes_(notes) {}

  QueryNode parseAll() {
    if (lexemes_.empty()) fail("Ricerca vuota: dare almeno una parola o un codice");
    QueryNode root = parseAny();
    if (at_ < lexemes_.size()) {
      // Only a closing parenthesis stops parseAny early.
      fail("')' senza '(' corrispondente");
    }
    return root;
  }

 private:
  bool atKind(LexemeKind kind) const { return at_ < lexemes_.size() && lexemes_[at_].kind == kind; }

  QueryNode parseAny() {
    QueryNode any = nodeOf(NodeKind::kAny);
    any.children.push_back(parseAllOf());
    while (atKind(LexemeKind::kOr)) {
      ++at_;
      if (at_ == lexemes_.size() || atKind(LexemeKind::kClose) || atKind(LexemeKind::kOr)) {
        fail("'OR' senza un termine dopo");
      }
      any.children.push_back(parseAllOf());
    }
    if (any.children.size() == 1) return std::move(any.children.front());
    return any;
  }

  QueryNode parseAllOf() {
    QueryNode all = nodeOf(NodeKind::kAll);
    bool positive = false;
    std::string firstExcluded;
    std::string firstRange;
    while (at_ < lexemes_.size() && !atKind(LexemeKind::kOr) && !atKind(LexemeKind::kClose)) {
      if (atKind(LexemeKind::kAnd)) {
        ++at_;
        if (all.children.empty()) fail("'AND' senza un termine prima");
        if (at_ == lexemes_.size() || atKind(LexemeKind::kOr) || atKind(LexemeKind::kClose) ||
            atKind(LexemeKind::kAnd)) {
          fail("'AND' senza un termine dopo");
        }
        continue;
      }
      const std::string source = lexemes_[at_].source;
      QueryNode member = parseUnary();
      if (member.kind == NodeKind::kNot) {
        if (firstExcluded.empty()) firstExcluded = source;
      } else if (member.kind == NodeKind::kYearRange) {
        if (firstRange.empty()) firstRange = source;
      } else {
        positive = true;
      }
      all.children.push_back(std::move(member));
    }
    if (all.children.empty()) {
      if (atKind(LexemeKind::kOr)) fail("'OR' senza un termine prima");
      if (atKind(LexemeKind::kClose)) fail("'(' senza termini prima di ')'");
      fail("Ricerca vuota: dare almeno una parola o un codice");
    }
    if (!positive && !firstRange.empty()) {
      fail(shownQuoted(firstRange) +
           ": un intervallo di anni restringe ciò che trovano gli altri termini, da solo non "
           "basta (aggiungere un termine da trovare)");
    }
    if (!positive) {
      fail(shownQuoted(firstExcluded) +
           ": una ricerca non può essere solo negativa (aggiungere un termine da trovare)");
    }
    if (all.children.size() == 1) return std::move(all.children.front());
    return all;
  }

  QueryNode parseUnary() {
    const Lexeme& lexeme = lexemes_[at_];
    switch (lexeme.kind) {
      case LexemeKind::kNot: {
        ++at_;
        if (at_ == lexemes_.size() || atKind(LexemeKind::kOr) || atKind(LexemeKind::kClose) ||
            atKind(LexemeKind::kAnd) || atKind(LexemeKind::kNot)) {
          fail(shownQuoted(lexeme.source) + " senza un termine dopo");
        }
        const bool excludedItem = lexemes_[at_].kind == LexemeKind::kItem && lexemes_[at_].excluded;
        if (excludedItem) fail(shownQuoted(lexeme.source) + " seguito da un termine già escluso");
        return negation(parseUnary());
      }
      case LexemeKind::kOpen: {
        ++at_;
        if (atKind(LexemeKind::kClose)) fail("'()' vuote");
        if (++depth_ > kMaxGroupDepth) {
          fail("troppe parentesi una dentro l'altra: al massimo " + std::to_string(kMaxGroupDepth));
        }
        QueryNode group = parseAny();
        --depth_;
        if (!atKind(LexemeKind::kClose)) fail("'(' senza ')' corrispondente");
        ++at_;
        return group;
      }
      case LexemeKind::kItem: {
        ++at_;
        QueryNode item = itemNode(lexeme);
        return lexeme.excluded ? negation(std::move(item)) : item;
      }
      default: fail("operatore fuori posto: " + shownQuoted(lexeme.source));
    }
  }

  static QueryNode negation(QueryNode child) {
    QueryNode node = nodeOf(NodeKind::kNot);
    node.source = "NOT " + child.source;
    node.children.push_back(std::move(child));
    return node;
  }

  QueryNode itemNode(const Lexeme& lexeme) {
    QueryNode node = nodeOf(NodeKind::kTerm);
    node.source = latin1ToUtf8(lexeme.source);
    node.scope = lexeme.scope;
    node.field = lexeme.field;
    node.prefix = lexeme.prefix;
    if (lexeme.scope != FieldScope::kAnywhere && !lexeme.quotedPhrase && !lexeme.prefix &&
        looksLikeYearRange(lexeme.text)) {
      const std::optional<YearSpan> span = yearSpanOf(lexeme.text);
      if (!span || span->from > span->to) {
        fail(shownQuoted(lexeme.source) +
             ": un intervallo di anni si scrive con due anni di quattro cifre, il primo non "
             "dopo il secondo (C2:1700..1799)");
      }
      node.kind = NodeKind::kYearRange;
      node.fromYear = span->from;
      node.toYear = span->to;
      return node;
    }
    forEachToken(lexeme.text, [&](std::string_view token) { node.tokens.emplace_back(token); });
    const std::string what = shownQuoted(lexeme.source);
    if (node.tokens.empty()) fail("Parola senza termini da cercare: " + what);
    if (node.tokens.size() > 1) {
      if (lexeme.prefix) fail(what + ": un prefisso con '*' è una parola sola");
      if (lexeme.scope == FieldScope::kCodeField) {
        const std::string_view indexed = cutCodeField(lexeme.text);
        fail(what + ": un campo di codice è indicizzato fino al primo separatore (" +
             shownQuoted(indexed) + ")");
      }
      node.kind = NodeKind::kPhrase;
      noteUnindexedParts(lexeme, node);
    }
    const bool code = node.kind == NodeKind::kTerm && holdsDigit(node.tokens.front());
    if (lexeme.scope == FieldScope::kTextField && code) {
      fail(what +
           ": i numeri dei campi di testo non sono indicizzati (un codice si cerca in C1-C5)");
    }
    if (lexeme.scope == FieldScope::kCodeField && !code && !lexeme.prefix) {
      fail(what + ": nei campi C1-C5 sono indicizzati solo codici (con almeno una cifra)");
    }
    return node;
  }

  // Notes on a phrase that cannot be searched as the person may think.
  void noteUnindexedParts(const Lexeme& lexeme, const QueryNode& phrase) {
    bool anyWord = false;
    for (const std::string& token : phrase.tokens) anyWord = anyWord || !holdsDigit(token);
    if (!lexeme.quotedPhrase && holdsDigit(lexeme.text) && !isSeparator(lexeme.text.front())) {
      const std::string_view indexed = cutCodeField(lexeme.text);
      std::string note = "Nota: " + shownQuoted(lexeme.text) +
                         " non può essere un codice dell'indice, che tiene un codice solo fino al "
                         "primo separatore (" +
                         shownQuoted(indexed);
      if (!holdsDigit(indexed)) note += ", senza cifre: nessun codice";
      note += "); è cercato come frase nei campi di testo";
      notes_.push_back(note);
    }
    if (!anyWord) {
      notes_.push_back("Nota: " + shownQuoted(lexeme.text) +
                       " non ha parole: i numeri nei campi di testo non sono indicizzati, "
                       "nessun record può essere trovato così");
    }
  }

  std::vector<Lexeme> lexemes_;
  std::size_t at_ = 0;
  std::size_t depth_ = 0;  // groups open at at_
  std::vector<std::string>& notes_;
};

}  // namespace

QueryParse parseQuery(std::string_view text) {
  QueryParse parse;
  try {
    ParsedQuery query;
    Parser parser(lex(latin1Query(text)), query.notes);
    query.root = parser.parseAll();
    parse.query = std::move(query);
  } catch (const QueryError& error) {
    parse.error = error.message;
  }
  return parse;
}

}  // namespace indicizza
