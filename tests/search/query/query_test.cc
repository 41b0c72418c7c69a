// The query language and the folding table of the search, on their own:
// what a query text parses to, which texts are refused and why, and what a
// term folds to.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/files/number_sort.h"
#include "search/query/query_help.h"
#include "search/query/query_parser.h"
#include "search/query/term_folding.h"
#include "search/query/year_range.h"

namespace indicizza {
namespace {

// A compact picture of a parsed tree: AND(..) OR(..) NOT(..), a term as its
// tokens (Latin-1 shown as \xHH), a phrase in double quotes, a prefix with
// '*', a field as T4: or C1:.
std::string shown(const QueryNode& node) {
  std::string text;
  if (node.scope == FieldScope::kTextField) text += "T" + std::to_string(node.field) + ":";
  if (node.scope == FieldScope::kCodeField) text += "C" + std::to_string(node.field) + ":";
  const auto children = [&](const char* name) {
    text += name;
    text += '(';
    for (std::size_t i = 0; i < node.children.size(); ++i)
      text += (i ? "," : "") + shown(node.children[i]);
    text += ')';
  };
  switch (node.kind) {
    case NodeKind::kTerm: text += node.tokens.front() + (node.prefix ? "*" : ""); break;
    case NodeKind::kPhrase:
      text += '"';
      for (std::size_t i = 0; i < node.tokens.size(); ++i) text += (i ? " " : "") + node.tokens[i];
      text += '"';
      break;
    case NodeKind::kAll: children("AND"); break;
    case NodeKind::kAny: children("OR"); break;
    case NodeKind::kNot: children("NOT"); break;
    case NodeKind::kYearRange:
      text += std::to_string(node.fromYear) + ".." + std::to_string(node.toYear);
      break;
  }
  return text;
}

struct ParseCase {
  const char* name;
  std::string query;
  std::string tree;         // the shown() picture, or "" when refused
  std::string messagePart;  // a part of the error or of the first note, or ""
};

class Parse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parse, GivesTheTreeOrNamesTheFault) {
  const QueryParse parse = parseQuery(GetParam().query);
  if (GetParam().tree.empty()) {
    ASSERT_FALSE(parse.query) << shown(parse.query->root);
    EXPECT_NE(parse.error.find(GetParam().messagePart), std::string::npos) << parse.error;
    return;
  }
  ASSERT_TRUE(parse.query) << parse.error;
  EXPECT_EQ(shown(parse.query->root), GetParam().tree);
  if (GetParam().messagePart.empty()) {
    EXPECT_TRUE(parse.query->notes.empty()) << parse.query->notes.front();
  } else {
    ASSERT_FALSE(parse.query->notes.empty());
    EXPECT_NE(parse.query->notes.front().find(GetParam().messagePart), std::string::npos)
        << parse.query->notes.front();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Parse,
    ::testing::Values(
        ParseCase{"OneWord", "bach", "bach", ""},
        ParseCase{"ImpliedAnd", "bach  sonata", "AND(bach,sonata)", ""},
        ParseCase{"WrittenAnd", "bach AND sonata", "AND(bach,sonata)", ""},
        ParseCase{"AndBindsTighterThanOr", "a b OR c", "OR(AND(a,b),c)", ""},
        ParseCase{"Grouping", "(a OR b) c", "AND(OR(a,b),c)", ""},
        ParseCase{"NotAndMinus", "a NOT b -c", "AND(a,NOT(b),NOT(c))", ""},
        ParseCase{"MinusGroup", "a -(b OR c)", "AND(a,NOT(OR(b,c)))", ""},
        ParseCase{"OperatorsOnlyInCapitals", "a or not b", "AND(a,or,not,b)", ""},
        ParseCase{"QuotedOperatorIsAWord", "\"OR\" a", "AND(OR,a)", ""},
        ParseCase{"Phrase", "\"sonata in  sol\"", "\"sonata in sol\"", ""},
        ParseCase{"CurlyQuotesArePhraseQuotes", "\xE2\x80\x9Csonata in\xE2\x80\x9D",
                  "\"sonata in\"", ""},
        ParseCase{"SeparatorsMakeAPhrase", "l'amore w.a.", "AND(\"l amore\",\"w a\")", ""},
        ParseCase{"OneQuotedWord", "\"bach\"", "bach", ""},
        ParseCase{"Prefix", "sonat*", "sonat*", ""},
        ParseCase{"CodeIsOneTerm", "BWV1009", "BWV1009", ""},
        ParseCase{"CodePrefix", "bwv10*", "bwv10*", ""},
        ParseCase{"Fields", "T4:sonata c1:bwv1009 T6:\"per chitarra\"",
                  "AND(T4:sonata,C1:bwv1009,T6:\"per chitarra\")", ""},
        ParseCase{"WordPrefixInCodeField", "C2:bwv*", "C2:bwv*", ""},
        ParseCase{"ExcludedField", "a -T1:b", "AND(a,NOT(T1:b))", ""},
        ParseCase{"Utf8BecomesLatin1", "perch\xC3\xA9", "perch\xE9", ""},
        ParseCase{"NotUtf8IsTakenAsLatin1", "perch\xE9", "perch\xE9", ""},
        ParseCase{"LigatureOe", "\xC5\x93uvre", "oeuvre", ""},
        ParseCase{"CodeWithSeparatorIsAPhraseWithANote", "K.331", "\"K 331\"",
                  "'K.331' non può essere un codice dell'indice"},
        ParseCase{"NoteSaysWhatIsIndexed", "979-0-2001-1", "\"979 0 2001 1\"", "('979')"},
        ParseCase{"MinusBeforeSpaceIsNoOperator", "a - b", "",
                  "Parola senza termini da cercare: '-'"},
        ParseCase{"Empty", "   ", "", "Ricerca vuota"},
        ParseCase{"SeparatorsOnly", "...", "", "Parola senza termini da cercare: '...'"},
        ParseCase{"OnlyNegative", "-sonata", "",
                  "'-sonata': una ricerca non può essere solo negativa"},
        ParseCase{"NegativeBranchOfOr", "a OR NOT b", "",
                  "'NOT': una ricerca non può essere solo negativa"},
        ParseCase{"OrAtTheStart", "OR a", "", "'OR' senza un termine prima"},
        ParseCase{"OrAtTheEnd", "a OR", "", "'OR' senza un termine dopo"},
        ParseCase{"AndAtTheEnd", "a AND", "", "'AND' senza un termine dopo"},
        ParseCase{"NotAtTheEnd", "a NOT", "", "'NOT' senza un termine dopo"},
        ParseCase{"UnclosedGroup", "(a b", "", "'(' senza ')'"},
        ParseCase{"UnopenedGroup", "a) b", "", "')' senza '('"},
        ParseCase{"EmptyGroup", "a ()", "", "'()' vuote"},
        ParseCase{"UnclosedQuote", "a \"b c", "", "virgolette non chiuse: '\"b c'"},
        ParseCase{"TextAfterQuote", "\"a b\"c", "", "testo attaccato alle virgolette: '\"a b\"c'"},
        ParseCase{"UnknownField", "T8:bach", "", "campo sconosciuto 'T8:'"},
        ParseCase{"FieldWithoutTerm", "T1: bach", "", "'T1:': manca il termine"},
        ParseCase{"NumberInTextField", "T5:1720", "", "'T5:1720': i numeri dei campi di testo"},
        ParseCase{"WordInCodeField", "C1:bach", "",
                  "'C1:bach': nei campi C1-C5 sono indicizzati solo codici"},
        ParseCase{"CutCodeInCodeField", "C2:979-0-2001-1", "", "fino al primo separatore ('979')"},
        ParseCase{"PrefixOfAPhrase", "l'am*", "", "un prefisso con '*' è una parola sola"},
        ParseCase{"BeyondLatin1", "prezzo 5\xE2\x82\xAC", "", "'5\xE2\x82\xAC': carattere U+20AC"},
        // Each group is a call deeper in the parser and in every walk of the
        // tree: past 100 the query is refused rather than the stack.
        ParseCase{"DeepestGroups", std::string(100, '(') + "a" + std::string(100, ')'), "a", ""},
        ParseCase{"GroupsTooDeep", std::string(101, '(') + "a" + std::string(101, ')'), "",
                  "troppe parentesi una dentro l'altra: al massimo 100"},
        ParseCase{"YearRange", "bach C2:1700..1799", "AND(bach,C2:1700..1799)", ""},
        ParseCase{"YearRangeOfATextFieldInLowerCase", "bach t5:1720..1720",
                  "AND(bach,T5:1720..1720)", ""},
        ParseCase{"ExcludedYearRange", "bach -C2:1700..1799", "AND(bach,NOT(C2:1700..1799))", ""},
        ParseCase{"YearRangeAlone", "C2:1700..1799", "",
                  "'C2:1700..1799': un intervallo di anni restringe"},
        ParseCase{"YearRangeAsAnAlternative", "bach OR C2:1700..1799", "",
                  "un intervallo di anni restringe"},
        ParseCase{"YearRangeBackwards", "bach C2:1799..1700", "",
                  "'C2:1799..1700': un intervallo di anni si scrive"},
        ParseCase{"YearRangeOfThreeDigits", "bach C2:800..899", "",
                  "un intervallo di anni si scrive"},
        ParseCase{"YearRangeOfAnUnknownField", "bach C6:1700..1799", "", "campo sconosciuto"},
        // Without a field it is what it was: numbers in the text.
        ParseCase{"YearsWithoutAFieldAreAPhrase", "bach 1700..1799", "AND(bach,\"1700 1799\")",
                  "non può essere un codice"},
        ParseCase{"ThousandsOfGroups", std::string(6600, '(') + "a" + std::string(6600, ')'), "",
                  "al massimo 100"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FoldCase {
  const char* name;
  std::string text;  // Latin-1
  std::string folded;
};

class Folding : public ::testing::TestWithParam<FoldCase> {};

TEST_P(Folding, FollowsTheTable) { EXPECT_EQ(foldedText(GetParam().text), GetParam().folded); }

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Folding,
    ::testing::Values(
        FoldCase{"AsciiCase", "Bach bwv1009", "BACH BWV1009"},
        FoldCase{"Accents",
                 "perch\xE9 PERCH\xC9 \xFC"
                 "ber \xC0\xC1\xC2\xC3\xC4\xC5",
                 "PERCHE PERCHE UBER AAAAAA"},
        FoldCase{"EveryVowel",
                 "\xE8\xE9\xEA\xEB \xEC\xED\xEE\xEF \xF2\xF3\xF4\xF5\xF6\xF8 \xF9\xFA\xFB\xFC",
                 "EEEE IIII OOOOOO UUUU"},
        FoldCase{"Consonants", "\xE7\xC7 \xF1\xD1 \xF0\xD0 \xFD\xDD\xFF", "CC NN DD YYY"},
        FoldCase{"TwoLetterFolds",
                 "stra\xDF"
                 "e \xC6\xE6 \xDE\xFE",
                 "STRASSE AEAE THTH"},
        FoldCase{"Ordinals", "1\xAA 2\xBA", "1A 2O"},
        FoldCase{"SignsStay", "\xD7\xF7\xB5\xA0\xBF!", "\xD7\xF7\xB5\xA0\xBF!"}),
    [](const auto& info) { return std::string(info.param.name); });

// A query that asks a thing twice costs what asking it once costs: repeats
// are left out, wherever they stand; what differs in field, prefix or
// order stays.
struct RepeatCase {
  const char* query;
  std::string tree;  // shown(withoutRepeats(parse))
};

TEST(Query, RepeatsAreLeftOut) {
  const std::vector<RepeatCase> cases = {
      {"bach OR bach OR bach", "bach"},
      {"bach bach", "bach"},
      {"a OR b OR a", "OR(a,b)"},
      {"(a OR a) b b", "AND(a,b)"},
      {"a -b -b", "AND(a,NOT(b))"},
      {"(a b) OR (a b) OR (b a)", "OR(AND(a,b),AND(b,a))"},
      {"a T1:a a* C1:a1 a1", "AND(a,T1:a,a*,C1:a1,a1)"},
      {"\"a b\" \"a b\" \"a b c\"", "AND(\"a b\",\"a b c\")"},
      {"a C2:1700..1799 c2:1700..1799 C2:1700..1710 T2:1700..1710",
       "AND(a,C2:1700..1799,C2:1700..1710,T2:1700..1710)"},
  };
  for (const RepeatCase& c : cases) {
    const QueryParse parse = parseQuery(c.query);
    ASSERT_TRUE(parse.query) << c.query << ": " << parse.error;
    EXPECT_EQ(shown(withoutRepeats(parse.query->root)), c.tree) << c.query;
  }
}

// A bar of the timeline narrows the query as run to its years: a range of
// the same field among the query's top-level members is replaced (by the
// years of both, so the narrowing keeps exactly the records counted in
// the bar), any other range stays.
struct YearNarrowingCase {
  std::string query;
  YearSpan span;
  std::string narrowed;
};

TEST(YearRange, NarrowsTheQueryReplacingItsOwnRange) {
  const std::vector<YearNarrowingCase> cases = {
      {"bach", {1720, 1729}, "(bach) C2:1720..1729"},
      {"(bach) C2:1700..1799", {1720, 1729}, "(bach) C2:1720..1729"},
      {"bach c2:1725..1799 sonata", {1720, 1729}, "bach sonata C2:1725..1729"},
      {"C2:1700..1799 AND bach", {1720, 1729}, "bach C2:1720..1729"},
      {"bach AND C2:1700..1799", {1720, 1729}, "bach AND C2:1720..1729"},
      {"bach C2:1700..1799 C2:1725..1799", {1720, 1729}, "bach C2:1725..1729"},
      {"bach T5:1700..1799", {1720, 1729}, "(bach T5:1700..1799) C2:1720..1729"},
      {"bach NOT C2:1700..1709", {1720, 1729}, "(bach NOT C2:1700..1709) C2:1720..1729"},
      {"bach (sonata C2:1700..1799)", {1720, 1729}, "(bach (sonata C2:1700..1799)) C2:1720..1729"},
      {"bach \"C2:1700..1799\"", {1720, 1729}, "(bach \"C2:1700..1799\") C2:1720..1729"},
      {"bach C2:1800..1899", {1720, 1729}, "(bach C2:1800..1899) C2:1720..1729"},
  };
  for (const YearNarrowingCase& c : cases) {
    const std::string narrowed = queryWithYearRange(c.query, "C2", c.span);
    EXPECT_EQ(narrowed, c.narrowed) << c.query;
    EXPECT_TRUE(parseQuery(narrowed).query) << narrowed << ": " << parseQuery(narrowed).error;
  }
}

// The help (catalogo help cerca, the search page, the man page) teaches
// only queries the parser takes: each example, beside a word to find (an
// exclusion alone is refused), parses without a note.
TEST(QueryHelp, EveryExampleParses) {
  for (const QueryHelpRow& row : queryHelpRows()) {
    for (std::string_view example : row.examples) {
      const QueryParse parse = parseQuery("bach " + std::string(example));
      ASSERT_TRUE(parse.query) << example << ": " << parse.error;
      EXPECT_TRUE(parse.query->notes.empty()) << example;
    }
  }
}

TEST(Catalogo, ExactMatchingUpperCasesWordsOnlyAsTheIndexerDoes) {
  EXPECT_EQ(comparableTerm("perch\xE9", Matching::kExact), "PERCH\xE9");
  EXPECT_EQ(comparableTerm("bwv1002", Matching::kExact), "bwv1002");
  EXPECT_EQ(comparableTerm("bwv1002", Matching::kFolded), "BWV1002");
}

TEST(Catalogo, LongNumberListsAreSortedWithNegativesAndRepeatsOnce) {
  // In the data database's key order (lowest byte first), as entry lists
  // hold them, with repeats and negative numbers: long enough for the radix
  // sort.
  std::vector<RecordNumber> numbers;
  for (int low = 0; low < 256; low += 3) {
    for (int high : {0, 1, 300, -1}) numbers.push_back(high * 256 + low);
  }
  numbers.push_back(256 * 300);
  numbers.push_back(-2147483647 - 1);
  std::vector<RecordNumber> expected = numbers;
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  sortUnique(numbers);
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(numbers.front(), -2147483647 - 1);
  EXPECT_EQ(numbers.size(), 86u * 4 + 1);
}

TEST(Catalogo, DenseNumberListsAreSortedAsWell) {
  // Records -5..1999 as an entry list holds them (lowest byte first), each
  // twice: a span close to the count, sorted through a bitmap.
  std::vector<RecordNumber> numbers;
  for (int low = 0; low < 256; ++low) {
    for (int number = -5; number < 2000; ++number) {
      if ((number & 0xFF) == low) numbers.insert(numbers.end(), 2, number);
    }
  }
  sortUnique(numbers);
  ASSERT_EQ(numbers.size(), 2005u);
  for (std::size_t i = 0; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], static_cast<int>(i) - 5);
}

}  // namespace
}  // namespace indicizza
