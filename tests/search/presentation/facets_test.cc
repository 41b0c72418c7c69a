// Facets of a result set: the values and counts, their order, the limit
// past which counts are no longer exact, and above all that the narrowing
// text of each value, run as a search through the real index, finds
// exactly the records counted under it.
#include "search/presentation/facets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

// Composer, period, kind code and flags of a record; every record is a
// "Sonata" but the last.
struct Work {
  std::string composer;
  std::string period;
  std::string kind;
  char flagA = ' ';
  char flagB = ' ';
  std::string title = "Sonata";
};

const std::vector<Work>& works() {
  static const std::vector<Work> kWorks = {
      {"J. S. Bach (1685-1750)", "Baroque", "AR"},
      {"J. S. Bach (1685-1750)", "Baroque", "AR", '1', '2'},
      {"  J.S. Bach (1685-1750)", "Late Baroque", "VO"},
      {"Bach", "Baroque", "AR"},
      {"Bach", "", "OG"},
      {"C. P. E. Bach", "Classical", "PF"},
      {"G. Faur\xE9", "Romantic", "PF"},
      {"G. Faur\xE9", "Romantic", "PF", '2', '1'},
      {"G. FAURE", "Romantic", "VO"},
      {"1750", "Baroque", "AR"},
      {"1685-1750", "Modern", "AL"},
      {"De", "Modern", "AL"},
      {"", "Baroque Late", "AR"},
      {"Zeta", "Modern", "CH"},
      {"\xC9lan", "Modern", "CH"},
      {"C. P. E. Bach arr. Busoni", "Classical", "PF"},
      {"l'Abb\xE9 L. ABBE", "Classical", "PF"},
      {"J. S. Bach (1685-1750)", "Baroque", "AR", ' ', ' ', "Suite"},
  };
  return kWorks;
}

std::vector<PlainRecord> records() {
  std::vector<PlainRecord> records;
  for (std::size_t i = 0; i < works().size(); ++i) {
    const Work& work = works()[i];
    records.push_back(PlainRecord()
                          .recordNumber(static_cast<RecordNumber>(i + 1))
                          .textField(1, work.composer)
                          .textField(3, work.period)
                          .textField(4, work.title)
                          .kindCode(work.kind)
                          .flags(work.flagA, work.flagB));
  }
  return records;
}

// A catalogue of works() indexed by the real indexer, the current folder
// while it lives.
class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.prepare(records(), "DE\n");
    stopWords_.insert("DE");
    ASSERT_EQ(dir_.run().exitStatus, 0);
    inFolder_.emplace(dir_.path());
    ASSERT_TRUE(openSearchDatabases(databases_).ok());
  }

  // The records `query` finds under `matching`, each handed to `each`.
  std::vector<RecordNumber> search(const std::string& query, Matching matching,
                                   const std::function<void(const DecodedRecord&)>& each = {}) {
    const QueryParse parse = parseQuery(query);
    EXPECT_TRUE(parse.query) << query << ": " << parse.error;
    if (!parse.query) return {};
    std::vector<RecordNumber> found;
    SearchOptions options;
    options.matching = matching;
    options.onPageRecord = [&](const DecodedRecord& record) {
      found.push_back(recordNumberOf(record));
      if (each) each(record);
    };
    SearchResult result;
    EXPECT_TRUE(runQuery(databases_, parse.query->root, options, result).ok());
    return found;
  }

  testing::CatalogueDir dir_;
  std::optional<testing::InFolder> inFolder_;
  SearchDatabases databases_;
  StopWordSet stopWords_;
};

// The facet values of the sonatas: value text -> count, and whether it has
// a narrowing.
struct ValueCase {
  FacetField field;
  std::string text;
  std::uint64_t count;
  bool narrows;
};

TEST_F(Catalogue, CountsEachValueAndItsNarrowingFindsExactlyThoseRecords) {
  FacetCounter counter(Matching::kFolded, kExactFacetRecords, &stopWords_);
  search("sonata", Matching::kFolded, [&](const DecodedRecord& record) { counter.add(record); });
  const FacetCounts counts = counter.top(20);
  ASSERT_EQ(counts.counted, 17u);
  EXPECT_TRUE(counts.exact());

  const std::vector<ValueCase> expected = {
      // Kinds as the index stores them: the flags lower-case the first.
      {FacetField::kKindCode, "AR", 4, false},
      {FacetField::kKindCode, "aR", 1, false},
      // "J.S. Bach" is "J. S. Bach" to the query language: one value, shown
      // as most of its records write it.
      {FacetField::kComposer, "J. S. Bach (1685-1750)", 3, true},
      {FacetField::kComposer, "Bach", 2, true},
      {FacetField::kComposer, "G. Fauré", 3, true},
      // Numbers only: the index holds no term to find them by.
      {FacetField::kComposer, "1750", 1, false},
      {FacetField::kComposer, "1685-1750", 1, false},
      {FacetField::kComposer, "De", 1, false},  // a stop word
      {FacetField::kPeriod, "Baroque", 4, true},
      {FacetField::kPeriod, "Late Baroque", 1, true},
  };
  for (const ValueCase& want : expected) {
    const Facet& facet = counts.facet(want.field);
    const auto value = std::find_if(facet.values.begin(), facet.values.end(),
                                    [&](const FacetValue& v) { return v.text == want.text; });
    ASSERT_NE(value, facet.values.end()) << want.text;
    EXPECT_EQ(value->count, want.count) << want.text;
    EXPECT_EQ(!value->narrowing.empty(), want.narrows) << want.text << ": " << value->narrowing;
  }
  EXPECT_EQ(counts.facets[1].withoutValue, 1u);  // the blank composer
  EXPECT_EQ(counts.facets[2].withoutValue, 1u);
}

// Under either matching, each value's narrowing, appended to the query,
// finds exactly the records counted under the value.
TEST_F(Catalogue, NarrowingFindsExactlyTheRecordsOfTheValue) {
  for (const Matching matching : {Matching::kFolded, Matching::kExact}) {
    FacetCounter counter(matching, kExactFacetRecords, &stopWords_);
    std::map<RecordNumber, DecodedRecord> counted;
    search("sonata", matching, [&](const DecodedRecord& record) {
      counter.add(record);
      counted.emplace(recordNumberOf(record), record);
    });
    for (const Facet& facet : counter.top(100).facets) {
      for (const FacetValue& value : facet.values) {
        std::vector<RecordNumber> wanted;
        for (const auto& [number, record] : counted) {
          if (holdsFacetValue(record, facet.field, value.key, matching)) wanted.push_back(number);
        }
        EXPECT_EQ(wanted.size(), value.count) << value.text;
        if (value.narrowing.empty()) continue;
        std::vector<RecordNumber> found = search(narrowedQuery("sonata", value), matching);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, wanted) << narrowedQuery("sonata", value);
      }
    }
  }
}

TEST_F(Catalogue, CountsRecordsReadByNumberUpToTheLimit) {
  const std::vector<RecordNumber> numbers = {1, 2, 99, 4, 7, 8, 9};  // 99 is not stored
  FacetCounter counter(Matching::kFolded, 4);
  ASSERT_TRUE(countFacetsOf(databases_.data, databases_.key, numbers, counter).ok());
  const FacetCounts counts = counter.top();
  EXPECT_EQ(counts.counted, 4u);  // 1, 2, 4, 7
  EXPECT_EQ(counts.results, 6u);  // and 8, 9 tallied only
  EXPECT_FALSE(counts.exact());
  const Facet& composers = counts.facet(FacetField::kComposer);
  ASSERT_EQ(composers.values.size(), 3u);
  EXPECT_EQ(composers.values[0].text, "J. S. Bach (1685-1750)");
  EXPECT_EQ(composers.values[0].count, 2u);
}

// Records with only composer text set, for the counter alone.
DecodedRecord composerRecord(const std::string& composer) {
  const PlainRecord plain = PlainRecord().recordNumber(1).textField(1, composer);
  return DecodedRecord::fromPlain(plain.bytes());
}

TEST(FacetOrder, MostRecordsFirstThenTextAsUnsignedBytesAndOnlyTheTopOnes) {
  FacetCounter counter;
  for (const char* name : {"Zeta", "\xC9lan", "Alfa", "Alfa", "Beta", "Beta", "Beta"}) {
    counter.add(composerRecord(name));
  }
  const Facet composers = counter.top(3).facet(FacetField::kComposer);
  std::vector<std::string> texts;
  for (const FacetValue& value : composers.values) texts.push_back(value.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Beta", "Alfa", "Zeta"}));  // É (0xC3..) after Z
  EXPECT_EQ(composers.otherValues, 1u);
}

TEST(NarrowedQuery, KeepsTheWholeQueryAsOneMemberOfTheAnd) {
  const FacetValue value = {"BACH", "Bach", 1, "T1:\"Bach\" -T1:\"C P E Bach\""};
  for (const std::string query : {"sonata OR suite", "\"suite no\"", "-x y", "(a OR b) c"}) {
    const QueryParse parse = parseQuery(narrowedQuery(query, value));
    ASSERT_TRUE(parse.query) << narrowedQuery(query, value) << ": " << parse.error;
    const QueryNode& root = parse.query->root;
    ASSERT_EQ(root.kind, NodeKind::kAll) << query;
    ASSERT_EQ(root.children.size(), 3u) << query;  // the query, the phrase, the exclusion
    EXPECT_EQ(root.children[1].tokens, std::vector<std::string>{"Bach"});
  }
  EXPECT_EQ(narrowedQuery("bach", {"AR", "AR", 1, ""}), "bach");
}

// The kind facet's rows, from records counted: a lower-case variant joins
// its capital form's row unless the labels file gives it a line of its
// own, and codes are joined before the rows shown are chosen.
struct KindRowsCase {
  const char* name;
  std::vector<std::pair<std::string, std::uint64_t>> values;  // code, records
  std::string labels;                                         // etichette.txt
  std::size_t shown;
  std::string rows;  // "label: codes count" per row, joined by " | ", then "+others"
};

class KindRows : public ::testing::TestWithParam<KindRowsCase> {};

// A record of kind `code`; a lower-case first letter is the flags' mark.
DecodedRecord kindRecord(const std::string& code) {
  std::string capital = code;
  const bool marked = capital.front() >= 'a' && capital.front() <= 'z';
  if (marked) capital.front() = static_cast<char>(capital.front() - 'a' + 'A');
  const PlainRecord plain =
      PlainRecord().recordNumber(1).kindCode(capital).flags(marked ? '1' : ' ', marked ? '2' : ' ');
  return DecodedRecord::fromPlain(plain.bytes());
}

TEST_P(KindRows, JoinVariantsUnlessTheLabelsSayWhatTheyMean) {
  FacetCounter counter;
  for (const auto& [code, count] : GetParam().values) {
    for (std::uint64_t i = 0; i < count; ++i) counter.add(kindRecord(code));
  }
  FieldLabels labels;
  ASSERT_TRUE(labelsOfText(GetParam().labels, labels).ok());
  const KindFacetRows kinds = kindRows(counter.top().kindCodes, labels, GetParam().shown);
  std::string rows;
  for (const KindRow& row : kinds.rows) {
    if (!rows.empty()) rows += " | ";
    rows += row.label + ":";
    for (const std::string& code : row.codes) rows += " " + code;
    rows += " " + std::to_string(row.count);
  }
  EXPECT_EQ(rows + " +" + std::to_string(kinds.otherRows), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Facets, KindRows,
    ::testing::Values(
        KindRowsCase{"UnlabelledVariantsJoin", {{"PF", 23}, {"pF", 7}}, "", 10, "PF: PF pF 30 +0"},
        KindRowsCase{"LabelledVariantsJoin",
                     {{"PF", 23}, {"pF", 7}, {"AR", 2}},
                     "PF Pianoforte\n",
                     10,
                     "Pianoforte: PF pF 30 | AR: AR 2 +0"},
        KindRowsCase{"VariantWithItsOwnLineStandsApart",
                     {{"PF", 23}, {"pF", 7}},
                     "PF Pianoforte\npF Pianoforte a quattro mani\n",
                     10,
                     "Pianoforte: PF 23 | Pianoforte a quattro mani: pF 7 +0"},
        KindRowsCase{
            "VariantAloneTakesItsCapitalsLabel", {{"vO", 4}}, "VO Voce\n", 10, "Voce: vO 4 +0"},
        KindRowsCase{"JoinedRowMovesUp",
                     {{"AR", 10}, {"VO", 8}, {"pF", 6}, {"PF", 5}},
                     "",
                     10,
                     "PF: PF pF 11 | AR: AR 10 | VO: VO 8 +0"},
        // Neither PF nor pF is among the two commonest codes, but their
        // row is among the two commonest rows.
        KindRowsCase{"CodesJoinBeforeTheRowsShownAreChosen",
                     {{"AR", 10}, {"VO", 8}, {"OR", 6}, {"PF", 5}, {"pF", 4}},
                     "PF Pianoforte\n",
                     2,
                     "AR: AR 10 | Pianoforte: PF pF 9 +2"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
