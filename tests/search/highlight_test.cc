// Highlighting: which bytes of which fields a query marks in a record (as
// the search's record check reads the record), the index terms it lists,
// and the two renderings.
#include "search/highlight.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/layout_fields.h"
#include "input/plain_record.h"
#include "search/query_parser.h"

namespace indicizza {
namespace {

// A record's fields for a case: text fields by number, then code fields.
struct Fields {
  std::vector<std::pair<int, std::string>> texts;
  std::vector<std::pair<int, std::string>> codes;
};

DecodedRecord recordOf(const Fields& fields) {
  PlainRecord plain;
  plain.recordNumber(1);
  for (const auto& [number, text] : fields.texts) plain.textField(number, text);
  for (const auto& [number, code] : fields.codes) plain.codeField(number, code);
  return DecodedRecord::fromPlain(plain.bytes());
}

// Every field with a mark, as "T4=[Suite No]. 3" joined by " | ", the marks
// in brackets, Latin-1 shown as UTF-8.
std::string marked(const DecodedRecord& record, const RecordHighlights& marks) {
  const auto brackets = [](std::string_view latin1, std::span<const ByteSpan> spans) {
    std::string text =
        htmlHighlighted(latin1, spans, [](std::string_view utf8) { return std::string(utf8); });
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"<mark>", "["},
                                   std::pair<std::string, std::string>{"</mark>", "]"}}) {
      for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to);
    }
    return text;
  };
  std::string shown;
  const auto add = [&](const std::string& name, std::string_view field,
                       const std::vector<ByteSpan>& spans) {
    if (spans.empty()) return;
    if (!shown.empty()) shown += " | ";
    shown += name + "=" + brackets(withoutPadding(field), spans);
  };
  for (int n = 1; n <= 7; ++n)
    add("T" + std::to_string(n), textField(record, n), marks.textFields[n - 1]);
  for (int n = 1; n <= 5; ++n)
    add("C" + std::to_string(n), codeField(record, n), marks.codeFields[n - 1]);
  return shown;
}

struct MarkCase {
  const char* name;
  std::string query;
  Fields fields;
  std::string marks;  // marked()
  std::vector<std::string> terms;
  Matching matching = Matching::kFolded;
};

class Marks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(Marks, AreWhereTheRecordCheckFindsTheTerms) {
  const QueryParse parse = parseQuery(GetParam().query);
  ASSERT_TRUE(parse.query) << parse.error;
  const DecodedRecord record = recordOf(GetParam().fields);
  const RecordHighlights marks = highlightsOf(parse.query->root, record, GetParam().matching);
  EXPECT_EQ(marked(record, marks), GetParam().marks);
  EXPECT_EQ(marks.terms, GetParam().terms);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, Marks,
    ::testing::Values(
        MarkCase{"FoldedWord", "faure", {{{1, "G. Faur\xE9"}}, {}}, "T1=G. [Fauré]", {"FAUR\xE9"}},
        MarkCase{"ExactMatchingKeepsAccents",
                 "faure",
                 {{{1, "G. Faur\xE9 and Faure"}}, {}},
                 "T1=G. Fauré and [Faure]",
                 {"FAURE"},
                 Matching::kExact},
        MarkCase{"NotTermsNeverMarked",
                 "sonata -bach",
                 {{{1, "Bach"}, {4, "Sonata for Bach"}}, {}},
                 "T4=[Sonata] for Bach",
                 {"SONATA"}},
        MarkCase{"EveryOccurrenceAndPrefix",
                 "son*",
                 {{{4, "Sonata e Sonatina, sonar"}}, {}},
                 "T4=[Sonata] e [Sonatina], [sonar]",
                 {"SONATA", "SONATINA", "SONAR"}},
        MarkCase{"PrefixSkipsNumbersButTakesCodes",
                 "ab*",
                 {{{4, "AB1 abc"}}, {{2, "AB12"}}},
                 "T4=AB1 [abc] | C2=[AB12]",
                 {"ABC", "AB12"}},
        MarkCase{"PhraseRunWithItsSeparators",
                 "\"suite no 3\"",
                 {{{4, "Suite No. 3 in C"}}, {}},
                 "T4=[Suite No. 3] in C",
                 {"SUITE", "NO"}},
        MarkCase{"PhraseAcrossFieldsWhenUnscoped",
                 "\"bach cello\"",
                 {{{1, "J. S. Bach"}, {2, "Cello"}}, {}},
                 "T1=J. S. [Bach] | T2=[Cello]",
                 {"BACH", "CELLO"}},
        MarkCase{"ScopedPhraseStaysInItsField",
                 "T2:\"bach cello\"",
                 {{{1, "J. S. Bach"}, {2, "Cello"}}, {}},
                 "",
                 {}},
        MarkCase{"ScopedWordOnlyInItsField",
                 "T2:cello",
                 {{{1, "Cello"}, {2, "Cello"}}, {}},
                 "T2=[Cello]",
                 {"CELLO"}},
        MarkCase{"CodeOnlyInCodeFieldsAsCut",
                 "bwv1009",
                 {{{4, "BWV1009"}}, {{1, "BWV1009.2"}, {3, "bwv1009"}}},
                 "C1=[BWV1009].2 | C3=[bwv1009]",
                 {"BWV1009", "bwv1009"}},
        MarkCase{"OrMarksEveryBranch",
                 "bach OR handel",
                 {{{1, "Handel"}, {6, "after Bach"}}, {}},
                 "T1=[Handel] | T6=after [Bach]",
                 {"HANDEL", "BACH"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, TerminalBoldAroundMarksAndEscapesControlBytes) {
  const std::vector<ByteSpan> spans = {{0, 2}, {3, 6}};
  EXPECT_EQ(terminalHighlighted("ab\x1b"
                                "c\xE9"
                                "d",
                                spans),
            "\x1b[1mab\x1b[22m\\x1b\x1b[1mc\xC3\xA9"
            "d\x1b[22m");
}

TEST(Render, HtmlEscapesMarkedAndPlainPiecesAndCutsLongSpans) {
  const auto escape = [](std::string_view utf8) {
    std::string out;
    for (char c : utf8) out += c == '<' ? std::string("&lt;") : std::string(1, c);
    return out;
  };
  const std::vector<ByteSpan> spans = {{2, 4}, {5, 99}};
  EXPECT_EQ(htmlHighlighted("a<b<c\xE9", spans, escape),
            "a&lt;<mark>b&lt;</mark>c<mark>\xC3\xA9</mark>");
}

}  // namespace
}  // namespace indicizza
