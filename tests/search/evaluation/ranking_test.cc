// The order of results (by relevance, by number, by a field), the partial
// results that fill a thin page, and totals taken from the index's lists
// when opere.idb is newer than opere.ddb, on a catalogue of six works whose
// two databases are written here (the index as the indexer's rules make it,
// plus one stale array); and what relevance makes of words held together,
// of a word's other forms and of a work's movements, on a catalogue of its
// own.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "index_store/index_database.h"
#include "indexing/term_rules.h"
#include "search/evaluation/query_run.h"
#include "search/evaluation/totals.h"
#include "search/query/query_parser.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

// A work: its number, then composer (T1), instruments (T2), title (T4)
// and source (T6), and its code (C1).
struct Work {
  int number;
  std::array<const char*, 4> fields;
  const char* code = "";
};
constexpr std::array<int, 4> kFieldNumbers = {1, 2, 4, 6};

const std::vector<Work>& works() {
  static const std::vector<Work> all = {{1, {"G. Faure", "", "Elegie", ""}},
                                        {2, {"J. S. Bach", "", "Chorale", "Faure edition"}},
                                        {3, {"G. Faure", "Violin", "Sonata", ""}},
                                        {4, {"C. Franck", "Violin", "Sonata", ""}},
                                        {5, {"J. S. Bach", "Violin", "Sonata", ""}},
                                        {6, {"A. Corelli", "Violin", "Trio", "Sonata edition"}}};
  return all;
}

StoredItem storedWork(const Work& work) {
  PlainRecord record;
  record.recordNumber(work.number);
  for (std::size_t f = 0; f < kFieldNumbers.size(); ++f)
    record.textField(kFieldNumbers[f], work.fields[f]);
  if (*work.code != '\0') record.codeField(1, work.code);
  return testing::storedItemOf(record);
}

// The index of `all` as the indexer's rules make it, plus `extra` lists.
std::vector<StoredItem> indexOf(const std::vector<Work>& all,
                                const std::map<std::string, std::vector<int>>& extra = {}) {
  std::map<std::string, std::vector<int>> lists = extra;
  for (const Work& work : all) {
    for (const char* text : work.fields) {
      forEachIndexedWord(text, [&](std::string_view word) {
        std::vector<int>& list = lists[std::string(word)];
        if (list.empty() || list.back() != work.number) list.push_back(work.number);
      });
    }
  }
  std::vector<StoredItem> items;
  for (const auto& [key, numbers] : lists) {
    std::string entries;
    for (int number : numbers) {
      const StoredEntry entry = storedEntryOf({number, {{'A', 'R'}}});
      entries.append(entry.begin(), entry.end());
    }
    items.emplace_back(key, entries);
  }
  return items;
}

// The index of works(), and MOZART listing record 4, which does not carry
// it: an array all stale.
std::vector<StoredItem> indexOfWorks() { return indexOf(works(), {{"MOZART", {4}}}); }

// Writes opere.ddb holding `all` and opere.idb holding `index` into `dir`.
void writeCatalogue(testing::CatalogueDir& dir, const std::vector<Work>& all,
                    const std::vector<StoredItem>& index) {
  std::vector<StoredItem> data;
  for (const Work& work : all) data.push_back(storedWork(work));
  dir.dataDatabase(data);
  testing::loadDatabase(dir / "opere.idb", index);
}

// One catalogue for every case; `dataNewer` makes opere.ddb look changed
// after opere.idb was written.
class RankedSearch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::CatalogueDir;
    writeCatalogue(*dir_, works(), indexOfWorks());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // Runs `query` with `options` in the catalogue (or in `other`), into
  // `result`; the page's record numbers in order.
  static std::vector<RecordNumber> search(const std::string& query, const SearchOptions& options,
                                          SearchResult& result, bool dataNewer = false,
                                          const testing::CatalogueDir* other = nullptr) {
    const testing::CatalogueDir& dir = other ? *other : *dir_;
    const auto index = std::filesystem::last_write_time(dir / "opere.idb");
    std::filesystem::last_write_time(dir / "opere.ddb", dataNewer
                                                            ? index + std::chrono::seconds(1)
                                                            : index - std::chrono::seconds(1));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SearchDatabases databases;
    const Status opened = openSearchDatabases(databases);
    const QueryParse parse = parseQuery(query);
    Status searched = opened;
    if (opened.ok() && parse.query)
      searched = runQuery(databases, parse.query->root, options, result);
    std::filesystem::current_path(before);
    EXPECT_TRUE(parse.query) << parse.error;
    EXPECT_TRUE(searched.ok()) << searched.text();
    EXPECT_EQ(databases.indexCurrent, !dataNewer);
    std::vector<RecordNumber> numbers;
    for (const DecodedRecord& record : result.page) numbers.push_back(recordNumberOf(record));
    return numbers;
  }

  static testing::CatalogueDir* dir_;
};
testing::CatalogueDir* RankedSearch::dir_ = nullptr;

struct OrderCase {
  const char* name;
  std::string query;
  const char* order;
  std::uint64_t partialsUpTo;
  std::vector<RecordNumber> page;  // full results, then partial ones
  std::uint64_t partials;          // of them, on the page
  std::uint64_t partialTotal;
};

class Orders : public RankedSearch, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(Orders, PlaceTheResults) {
  SearchOptions options;
  options.order = *sortOrderNamed(GetParam().order);
  options.partialsUpTo = GetParam().partialsUpTo;
  SearchResult result;
  EXPECT_EQ(search(GetParam().query, options, result), GetParam().page);
  EXPECT_EQ(result.pagePartials, GetParam().partials);
  EXPECT_EQ(result.partialTotal, GetParam().partialTotal);
}

INSTANTIATE_TEST_SUITE_P(
    Search, Orders,
    ::testing::Values(
        // The composer's own works before a mention in a source; ties by number.
        OrderCase{"ComposerBeforeSource", "faure", "rilevanza", 10, {1, 3, 2}, 0, 0},
        OrderCase{"ByNumber", "faure", "numero", 10, {1, 2, 3}, 0, 0},
        OrderCase{"ByTitle", "faure", "T4", 10, {2, 1, 3}, 0, 0},
        OrderCase{"TitleBeforeSource", "sonata violin", "rilevanza", 10, {3, 4, 5, 6}, 0, 0},
        // Faure is rarer than sonata: its records lead the partial ones.
        OrderCase{"PartialsFillThePage", "faure sonata", "rilevanza", 10, {3, 1, 4, 5, 2, 6}, 5, 5},
        // Partial results by score, not by count: the rarest word in the
        // composer's field (1) before two common words in weak fields (6).
        OrderCase{
            "RarestWordsFirst", "faure sonata violin", "rilevanza", 10, {3, 4, 5, 1, 6, 2}, 5, 5},
        OrderCase{"PartialsUpToThePage", "faure sonata", "rilevanza", 3, {3, 1, 4}, 2, 5},
        OrderCase{
            "PartialsNeverMatchANot", "faure sonata -bach", "rilevanza", 10, {3, 1, 4, 6}, 3, 3},
        OrderCase{"NoPartialsUnasked", "faure sonata", "rilevanza", 0, {3}, 0, 0},
        OrderCase{"NoPartialsForOneWord", "faure -bach", "rilevanza", 10, {1, 3}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RankedSearch, PartialsNeverMatchANotWhenTheRecordsDecide) {
  SearchOptions options;
  options.partialsUpTo = 10;
  SearchResult result;
  EXPECT_EQ(search("faure sonata -bach", options, result, true),
            (std::vector<RecordNumber>{3, 1, 4, 6}));
  EXPECT_EQ(result.partialTotal, 3u);
}

// Only maxRankedPartials records, the best by the index alone, are read
// for the partial results; the others are only counted.
struct BoundedCase {
  const char* name;
  std::string query;
  std::uint64_t maxRanked;
  bool dataNewer;
  std::vector<RecordNumber> page;
  std::uint64_t partialTotal;
  bool partialEstimated;
};

class BoundedPartials : public RankedSearch, public ::testing::WithParamInterface<BoundedCase> {};

TEST_P(BoundedPartials, ReadTheBestByTheIndexAndCountTheRest) {
  SearchOptions options;
  options.partialsUpTo = 10;
  options.limits.maxRankedPartials = GetParam().maxRanked;
  SearchResult result;
  EXPECT_EQ(search(GetParam().query, options, result, GetParam().dataNewer), GetParam().page);
  EXPECT_EQ(result.partialTotal, GetParam().partialTotal);
  EXPECT_EQ(result.partialEstimated, GetParam().partialEstimated);
}

INSTANTIATE_TEST_SUITE_P(
    Search, BoundedPartials,
    ::testing::Values(
        // Faure (records 1, 2) is rarer than sonata (4, 5, 6).
        BoundedCase{"RarerWordsKept", "faure sonata", 2, false, {3, 1, 2}, 5, false},
        BoundedCase{"EstimatedWhenRecordsCount", "faure sonata", 2, true, {3, 1, 2}, 5, true},
        // Two words (4, 5, 6) before the rarer one (1, 2); ties by number.
        BoundedCase{"MoreWordsKept", "faure sonata violin", 1, false, {3, 4}, 5, false},
        // Elegie (1) is rarer than sonata and violin (3 to 6) together.
        BoundedCase{"RarestWordKept", "elegie sonata violin", 1, false, {1}, 5, false},
        BoundedCase{"ExcludedNeverCounted", "faure sonata -bach", 1, false, {3, 1}, 3, false},
        BoundedCase{"NoneRead", "faure sonata", 0, false, {3}, 5, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Records far apart in number: the lists are walked in blocks of record
// numbers, and what one block sums must not spill into the next.
TEST_F(RankedSearch, PartialsAcrossBlocksOfNumbers) {
  const std::vector<Work> spread = {{1, {"Alpha Beta", "", "", ""}},
                                    {16384, {"Gamma", "", "", ""}},
                                    {16385, {"Gamma Beta", "", "", ""}},
                                    {32769, {"Gamma", "", "", ""}},
                                    {40000, {"Alpha Beta Gamma", "", "", ""}}};
  testing::CatalogueDir dir;
  writeCatalogue(dir, spread, indexOf(spread));
  SearchOptions options;
  options.partialsUpTo = 10;
  options.limits.maxRankedPartials = 1;
  SearchResult result;
  // Record 1 (alpha beta) outranks 16385 (gamma beta) by the rarer alpha.
  EXPECT_EQ(search("alpha beta gamma", options, result, false, &dir),
            (std::vector<RecordNumber>{40000, 1}));
  EXPECT_EQ(result.partialTotal, 4u);
}

// Relevance beyond each word's own score: words held together in a field,
// and in the order typed; the members of an OR typed as such alike; and
// the records of one work (the
// same composer and code) together, in record-number order, where the
// first of them ranks. Record numbers run against the order expected, so
// that a tie broken by number gives a wrong page.
const std::vector<Work>& relevanceWorks() {
  static const std::vector<Work> all = {
      {1, {"Tempered", "", "Clavier", ""}},
      {2, {"", "", "Clavier Tempered", ""}},
      {3, {"", "", "Tempered Clavier", ""}},
      {4, {"Tempered", "", "Clavier Clavier Clavier", ""}},
      {5, {"", "", "Clavier", ""}},
      {6, {"", "", "Sonate", ""}},
      {7, {"", "", "Sonata", ""}},
      {9, {"B. Other", "", "Concerto", ""}, "RV269"},
      {10, {"A. Vivaldi", "", "Concerto", ""}, "RV269"},
      {11, {"G. Torelli", "", "Concerto Concerto", ""}},
      {12, {"A. Vivaldi", "", "Concerto Concerto Concerto", ""}, "RV269"},
      {13, {"G. Torelli", "", "Concerto", ""}}};
  return all;
}

struct RelevanceCase {
  const char* name;
  std::string query;
  std::vector<RecordNumber> page;
};

class Relevance : public RankedSearch, public ::testing::WithParamInterface<RelevanceCase> {
 protected:
  static void SetUpTestSuite() {
    RankedSearch::SetUpTestSuite();
    relevanceDir_ = new testing::CatalogueDir;
    writeCatalogue(*relevanceDir_, relevanceWorks(), indexOf(relevanceWorks()));
  }
  static void TearDownTestSuite() {
    delete relevanceDir_;
    relevanceDir_ = nullptr;
    RankedSearch::TearDownTestSuite();
  }
  static testing::CatalogueDir* relevanceDir_;
};
testing::CatalogueDir* Relevance::relevanceDir_ = nullptr;

TEST_P(Relevance, RanksWhatWasMeantFirst) {
  SearchResult result;
  EXPECT_EQ(search(GetParam().query, SearchOptions(), result, false, relevanceDir_),
            GetParam().page);
}

INSTANTIATE_TEST_SUITE_P(Search, Relevance,
                         ::testing::Values(
                             // In one field and in order (3), in one field (2), before the common
                             // word repeated (4), before the two words apart (1).
                             RelevanceCase{"WordsTogetherFirst", "tempered clavier", {3, 2, 4, 1}},
                             // An OR typed as such weighs its members alike (the
                             // reading's forms of a word weigh less: query_understanding_test).
                             RelevanceCase{"TypedOrWeighsAlike", "sonata OR sonate", {6, 7}},
                             // 12 leads by its score, and brings 10 with it; 9 has the code but
                             // another composer, 11 and 13 no code.
                             RelevanceCase{"WorkTogether", "concerto", {10, 12, 11, 9, 13}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TotalCase {
  const char* name;
  std::string query;
  bool dataNewer;
  std::uint64_t maxCounted;
  std::uint64_t total;
  bool estimated;
  bool countedByIndex;
  std::uint64_t staleEntries;
};

class Totals : public RankedSearch, public ::testing::WithParamInterface<TotalCase> {};

TEST_P(Totals, AreExactOrSaySo) {
  SearchOptions options;
  options.order = SortOrder{ResultOrder::kNumber, 0};
  options.limit = 1;
  options.maxCountedRecords = GetParam().maxCounted;
  SearchResult result;
  search(GetParam().query, options, result, GetParam().dataNewer);
  EXPECT_EQ(result.total, GetParam().total);
  EXPECT_EQ(result.estimated, GetParam().estimated);
  EXPECT_EQ(result.countedByIndex, GetParam().countedByIndex);
  EXPECT_EQ(result.staleEntries, GetParam().staleEntries);
}

INSTANTIATE_TEST_SUITE_P(
    Search, Totals,
    ::testing::Values(
        TotalCase{"WordFromTheLists", "violin", false, 1, 4, false, true, 0},
        TotalCase{"NotFromTheLists", "violin -bach", false, 1, 3, false, true, 0},
        TotalCase{"OrFromTheLists", "violin OR faure", false, 1, 6, false, true, 0},
        TotalCase{"StaleArrayIsNoResult", "mozart", false, 1, 0, false, true, 1},
        TotalCase{"StaleArrayInAnOr", "mozart OR elegie", false, 1, 1, false, true, 1},
        TotalCase{"PhraseReadsTheRecords", "\"sonata edition\"", false, 100, 1, false, false, 0},
        TotalCase{"FieldReadsTheRecords", "T1:faure", false, 100, 2, false, false, 0},
        TotalCase{"NewerDataReadsTheRecords", "violin", true, 100, 4, false, false, 0},
        TotalCase{"PastTheBudgetAnEstimate", "violin -bach", true, 2, 4, true, false, 0},
        TotalCase{"NewerDataMeetsTheStaleEntry", "mozart", true, 100, 0, false, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RankedSearch, CountOnlyWithACurrentIndexReadsNoRecord) {
  // Record 6 listed under VIOLIN but not stored: only a count from the
  // lists still finds it.
  testing::CatalogueDir dir;
  std::vector<StoredItem> data;
  for (const Work& work : works()) {
    if (work.number != 6) data.push_back(storedWork(work));
  }
  dir.dataDatabase(data);
  testing::loadDatabase(dir / "opere.idb", indexOfWorks());
  std::filesystem::last_write_time(
      dir / "opere.ddb",
      std::filesystem::last_write_time(dir / "opere.idb") - std::chrono::seconds(1));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SearchDatabases databases;
  ASSERT_TRUE(openSearchDatabases(databases).ok());
  SearchOptions options;
  options.countOnly = true;
  SearchResult result;
  const Status searched = runQuery(databases, parseQuery("violin").query->root, options, result);
  std::filesystem::current_path(before);
  ASSERT_TRUE(searched.ok()) << searched.text();
  EXPECT_EQ(result.total, 4u);
  EXPECT_EQ(result.staleEntries, 0u);
}

TEST(IndexFreshness, NeedsTheIndexStrictlyNewer) {
  const auto at = [](std::int64_t seconds, std::int64_t nanoseconds) {
    FileIdentity file;
    file.modifiedSeconds = seconds;
    file.modifiedNanoseconds = nanoseconds;
    return std::optional<FileIdentity>(file);
  };
  EXPECT_TRUE(indexWrittenAfterData(at(10, 1), at(10, 0)));
  EXPECT_TRUE(indexWrittenAfterData(at(11, 0), at(10, 999'999'999)));
  EXPECT_FALSE(indexWrittenAfterData(at(10, 0), at(10, 0)));
  EXPECT_FALSE(indexWrittenAfterData(at(10, 0), at(10, 1)));
  EXPECT_FALSE(indexWrittenAfterData(std::nullopt, at(10, 0)));
  EXPECT_FALSE(indexWrittenAfterData(at(10, 0), std::nullopt));
}

}  // namespace
}  // namespace indicizza
