// The records a search keeps with their views beside its handles: found
// only under the matching their views were made with, never past their
// budget, and never what makes a search on the same handles answer
// otherwise than on fresh ones.
#include "search/evaluation/kept_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

struct Keeping {
  RecordNumber number;
  Matching matching;
};

struct KeepCase {
  const char* name;
  std::vector<Keeping> kept;  // in turn, each a record titled "Perché"
  std::size_t budgetRecords;  // the budget, in records of that size
  Keeping sought;
  bool found;
};

class Keeps : public ::testing::TestWithParam<KeepCase> {};

TEST_P(Keeps, FindOnlyWhatTheyHoldWithinTheirBudget) {
  const std::size_t one = keptBytesOf(*keptOf("Perch\xE9", Matching::kFolded));
  KeptRecords records(GetParam().budgetRecords * one);
  for (const Keeping& keeping : GetParam().kept)
    records.keep(keeping.number, keeping.matching, keptOf("Perch\xE9", keeping.matching));
  const KeptRecords::Entry found =
      records.find(GetParam().sought.number, GetParam().sought.matching);
  EXPECT_EQ(found != nullptr, GetParam().found);
}

constexpr Matching kFolded = Matching::kFolded;
constexpr Matching kExact = Matching::kExact;

INSTANTIATE_TEST_SUITE_P(
    KeptRecords, Keeps,
    ::testing::Values(
        // A folded view answers an exact search wrongly ("PERCHE" is no
        // "PERCHÉ").
        KeepCase{"UnderAnotherMatching", {{1, kFolded}}, 4, {1, kExact}, false},
        KeepCase{"DroppedByAnotherMatching", {{1, kFolded}, {2, kExact}}, 4, {1, kFolded}, false},
        KeepCase{
            "KeptBesideOthersWithinTheBudget", {{1, kExact}, {2, kExact}}, 2, {1, kExact}, true},
        // The third does not fit beside two: all are dropped.
        KeepCase{
            "DroppedPastTheBudget", {{1, kExact}, {2, kExact}, {3, kExact}}, 2, {1, kExact}, false},
        KeepCase{"LargerThanTheBudget", {{1, kFolded}}, 0, {1, kFolded}, false}),
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
