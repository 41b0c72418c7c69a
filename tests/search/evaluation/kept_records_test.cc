// The records searches keep with their views for the searches after them:
// found only under the matching their views were made with, never past
// their budget, the least recently found dropped first, and never what makes
// a search on the same handles answer otherwise than on fresh ones.
#include "search/evaluation/kept_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "index_store/index_database.h"
#include "input/plain_record.h"
#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

KeptRecords::Entry keptOf(const std::string& title, Matching matching) {
  const DecodedRecord record =
      DecodedRecord::fromPlain(PlainRecord().recordNumber(1).textField(4, title).bytes());
  return std::make_shared<const KeptRecord>(KeptRecord{record, viewOf(record, matching)});
}

// One search on the cache: the records it finds kept, then those it read
// from the file, kept as it ends.
struct Search {
  Matching matching;
  std::vector<RecordNumber> found;
  std::vector<RecordNumber> read;
  // Its reading began with the one before, before that one kept its records.
  bool alongsidePrevious = false;
};

struct KeepCase {
  const char* name;
  std::vector<Search> searches;  // in turn, each record titled "Perché"
  std::size_t budgetRecords;     // the budget, in records of that size
  Matching soughtMatching;
  std::vector<RecordNumber> kept;  // of records 1 to 3, those found after
};

class Keeps : public ::testing::TestWithParam<KeepCase> {};

TEST_P(Keeps, FindOnlyWhatTheyHoldWithinTheirBudget) {
  const std::size_t one = keptBytesOf(*keptOf("Perch\xE9", Matching::kFolded));
  KeptRecords records(GetParam().budgetRecords * one);
  const std::vector<Search>& searches = GetParam().searches;
  std::optional<KeptRecords::Reading> begun;
  for (std::size_t i = 0; i < searches.size(); ++i) {
    KeptRecords::Reading reading =
        begun ? std::move(*begun) : records.reading(searches[i].matching);
    begun.reset();
    if (i + 1 < searches.size() && searches[i + 1].alongsidePrevious)
      begun = records.reading(searches[i + 1].matching);
    for (const RecordNumber number : searches[i].found) ASSERT_NE(reading.find(number), nullptr);
    std::vector<std::pair<RecordNumber, KeptRecords::Entry>> fresh;
    for (const RecordNumber number : searches[i].read)
      fresh.emplace_back(number, keptOf("Perch\xE9", searches[i].matching));
    records.keep(reading, std::move(fresh));
  }
  KeptRecords::Reading reading = records.reading(GetParam().soughtMatching);
  std::vector<RecordNumber> kept;
  for (RecordNumber number = 1; number <= 3; ++number)
    if (reading.find(number)) kept.push_back(number);
  EXPECT_EQ(kept, GetParam().kept);
}

constexpr Matching kFolded = Matching::kFolded;
constexpr Matching kExact = Matching::kExact;

INSTANTIATE_TEST_SUITE_P(
    KeptRecords, Keeps,
    ::testing::Values(
        // A folded view answers an exact search wrongly ("PERCHE" is no
        // "PERCHÉ").
        KeepCase{"UnderAnotherMatching", {{kFolded, {}, {1}}}, 4, kExact, {}},
        KeepCase{"BesideOthersWithinTheBudget",
                 {{kExact, {}, {1}}, {kExact, {}, {2}}},
                 2,
                 kExact,
                 {1, 2}},
        // Record 1 was found by the search before the third: 2 is dropped.
        KeepCase{"LeastRecentlyFoundDroppedFirst",
                 {{kExact, {}, {1}}, {kExact, {}, {2}}, {kExact, {1}, {}}, {kExact, {}, {3}}},
                 2,
                 kExact,
                 {1, 3}},
        // Two searches at once both read record 1: the second keeps it.
        KeepCase{"ReadByTwoSearchesAtOnce",
                 {{kFolded, {}, {1}}, {kFolded, {}, {1}, true}},
                 2,
                 kFolded,
                 {1}},
        KeepCase{"LargerThanTheBudget", {{kFolded, {}, {1}}}, 0, kFolded, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Record 1 titled "Perché" (Latin-1), indexed under its own terms, in a folder of its
// own; searched there under each matching in turn, on one pair of handles.
TEST(KeptRecordsInASearch, AnswerEachMatchingAsFreshHandlesWould) {
  const PlainRecord plain = PlainRecord().recordNumber(1).textField(4, "Perch\xE9");
  testing::CatalogueDir dir;
  dir.dataDatabase({testing::storedItemOf(plain)});
  const DecodedRecord record = DecodedRecord::fromPlain(plain.bytes());
  std::vector<testing::StoredItem> items;
  for (const std::string& term : viewOf(record, Matching::kExact).indexTerms) {
    const StoredEntry entry = storedEntryOf({1, {{' ', ' '}}});
    items.emplace_back(term, std::string(entry.begin(), entry.end()));
  }
  std::sort(items.begin(), items.end());
  testing::loadDatabase(dir / "opere.idb", items);

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SearchDatabases databases;
  ASSERT_TRUE(openSearchDatabases(databases).ok());
  struct Asked {
    const char* query;
    Matching matching;
    std::size_t results;
  };
  // Each needs a view of its own matching: "perché" holds under either,
  // "perche" only folded.
  for (const Asked& asked : {Asked{"perche", kFolded, 1}, Asked{"perché", kExact, 1},
                             Asked{"perche", kExact, 0}, Asked{"perché", kFolded, 1}}) {
    const QueryParse parse = parseQuery(asked.query);
    ASSERT_TRUE(parse.query) << parse.error;
    SearchOptions options;
    options.matching = asked.matching;
    SearchResult result;
    ASSERT_TRUE(runQuery(databases, parse.query->root, options, result).ok());
    EXPECT_EQ(result.page.size(), asked.results) << asked.query;
  }
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace indicizza
