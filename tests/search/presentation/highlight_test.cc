// Highlighting: which bytes of which fields a query marks in a record (as
// the search's record check reads the record), the index terms it lists,
// and the two renderings.
#include "search/presentation/highlight.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/forms/layout_fields.h"
#include "generator/catalogue_generator.h"
#include "indexing/term_rules.h"
#include "input/plain_record.h"
#include "search/evaluation/record_match.h"
#include "search/presentation/result_formats.h"
#include "search/query/query_parser.h"

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
// in brackets (Latin-1 bytes kept).
std::string marked(const DecodedRecord& record, const RecordHighlights& marks) {
  std::string shown;
  for (std::size_t f = 0; f < kTextFieldCount + kCodeFieldCount; ++f) {
    const bool text = f < kTextFieldCount;
    const int n = static_cast<int>(text ? f + 1 : f + 1 - kTextFieldCount);
    const auto& spans = text ? marks.textFields[f] : marks.codeFields[f - kTextFieldCount];
    if (spans.empty()) continue;
    std::string value(withoutPadding(text ? textField(record, n) : codeField(record, n)));
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
      value.insert(std::min(span->end, value.size()), "]");
      value.insert(span->begin, "[");
    }
    shown += (shown.empty() ? "" : " | ") + std::string(text ? "T" : "C") + std::to_string(n) +
             "=" + value;
  }
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
        MarkCase{
            "FoldedWord", "faure", {{{1, "G. Faur\xE9"}}, {}}, "T1=G. [Faur\xE9]", {"FAUR\xE9"}},
        MarkCase{"ExactMatchingKeepsAccents",
                 "faure",
                 {{{1, "G. Faur\xE9 and Faure"}}, {}},
                 "T1=G. Faur\xE9 and [Faure]",
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
        MarkCase{"ScopedCodeOnlyInItsField",
                 "C2:bwv1009",
                 {{}, {{1, "BWV1009"}, {2, "BWV1009"}}},
                 "C2=[BWV1009]",
                 {"BWV1009"}},
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

// cerca's line for a terminal: the testo line with only the bold added, each
// field's marks in that field (a code's in its code field).
TEST(Render, TextRowBoldsEachFieldsOwnMarks) {
  const DecodedRecord record =
      recordOf({{{1, "J. S. Bach"}, {4, "Suite 1 for Bach"}}, {{2, "BWV1009"}}});
  const QueryParse parse = parseQuery("bach bwv1009");
  ASSERT_TRUE(parse.query);
  const std::string line =
      highlightedTextRow(rowOf(record), highlightsOf(parse.query->root, record));
  std::string plain = line;
  std::vector<std::string> bold;
  for (std::size_t on; (on = plain.find(kBoldOn)) != std::string::npos;) {
    const std::size_t off = plain.find(kBoldOff, on);
    ASSERT_NE(off, std::string::npos) << line;
    bold.push_back(plain.substr(on + kBoldOn.size(), off - on - kBoldOn.size()));
    plain.erase(off, kBoldOff.size());
    plain.erase(on, kBoldOn.size());
  }
  EXPECT_EQ(plain, formattedRow(OutputFormat::kText, rowOf(record)));
  EXPECT_EQ(bold, (std::vector<std::string>{"Bach", "Bach", "BWV1009"}));
  EXPECT_LT(line.find("Suite 1 for \x1b[1mBach"), line.find("|  | \x1b[1mBWV1009")) << line;
}

// Queries of one term, prefix or phrase made from the text of generated
// records: a record is marked somewhere exactly when the search's own
// check says it matches.
TEST(MarksAgree, WithTheRecordCheckOnGeneratedRecords) {
  std::vector<DecodedRecord> records;
  std::vector<RecordView> views;
  generator::generateCatalogue({.records = 80, .seed = 7}, [&](const PlainRecord& plain) {
    records.push_back(DecodedRecord::fromPlain(plain.bytes()));
    views.push_back(viewOf(records.back(), Matching::kFolded));
  });
  std::vector<std::string> queries;
  for (std::size_t r = 0; r < records.size(); r += 4) {
    std::vector<std::string> tokens;
    for (int field = 1; field <= 7; ++field) {
      forEachToken(textField(records[r], field),
                   [&](std::string_view token) { tokens.emplace_back(token); });
    }
    for (std::size_t t = 0; t + 1 < tokens.size(); t += 6) {
      queries.push_back(tokens[t]);
      if (tokens[t].size() > 3) queries.push_back(tokens[t].substr(0, 3) + "*");
      queries.push_back("\"" + tokens[t] + " " + tokens[t + 1] + "\"");
    }
    queries.push_back(std::string(indexedCodeOf(codeField(records[r], 1 + r % 5))));
  }
  std::size_t checked = 0;
  std::size_t matched = 0;
  for (const std::string& query : queries) {
    const QueryParse parse = parseQuery(query);
    if (!parse.query) continue;  // a number alone, or an empty code
    for (std::size_t r = 0; r < records.size(); ++r) {
      const DecodedRecord& record = records[r];
      const bool matches = matchesRecord(parse.query->root, views[r], Matching::kFolded);
      const RecordHighlights marks = highlightsOf(parse.query->root, record);
      bool marked = false;
      for (const auto& spans : marks.textFields) marked = marked || !spans.empty();
      for (const auto& spans : marks.codeFields) marked = marked || !spans.empty();
      ASSERT_EQ(marked, matches) << query << " in record " << recordNumberOf(record);
      ++checked;
      matched += matches;
    }
  }
  EXPECT_GT(checked, 5'000u);
  EXPECT_GT(matched, 300u);
}

}  // namespace
}  // namespace indicizza
