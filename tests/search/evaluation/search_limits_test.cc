// What a search may cost, and how it ends when it would cost more: too many
// index keys for its terms, too long lists, a caller that gives up, an index
// whose keys come out of order (a damaged file that would otherwise keep a
// prefix walk going round for ever).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "index_store/index_database.h"
#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "support/btree_damage.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

// "AAAA", "AAAB", ...: `count` keys starting with A, each listing records
// 1..`listed`; then "BACH", listing record 1.
std::vector<StoredItem> indexItems(int count, int listed) {
  std::string entries;
  for (int number = 1; number <= listed; ++number) {
    const StoredEntry entry = storedEntryOf({number, {{'A', 'R'}}});
    entries.append(entry.begin(), entry.end());
  }
  std::vector<StoredItem> items;
  for (int n = 0; n < count; ++n) {
    std::string word = "A";
    for (int i = 0, rest = n; i < 3; ++i, rest /= 26) word += static_cast<char>('A' + rest % 26);
    items.emplace_back(word, entries);
  }
  const StoredEntry bach = storedEntryOf({1, {{'A', 'R'}}});
  items.emplace_back("BACH", std::string(bach.begin(), bach.end()));
  return items;
}

struct LimitCase {
  const char* name;
  std::string query;
  SearchLimits limits;
  bool stop;                                                 // SearchOptions::stop says yes
  std::function<void(const std::filesystem::path&)> damage;  // to opere.idb
  Status::Code code;
  std::string textPart;  // of the failure's text
};

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, EndTheSearchWithTheirFailure) {
  testing::CatalogueDir dir;
  dir.dataDatabase({testing::storedItemOf(PlainRecord().recordNumber(1).textField(1, "Bach"))});
  std::vector<StoredItem> items = indexItems(3000, 5);
  std::sort(items.begin(), items.end());
  testing::loadDatabase(dir / "opere.idb", items);
  if (GetParam().damage) GetParam().damage(dir / "opere.idb");

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SearchDatabases databases;
  ASSERT_TRUE(openSearchDatabases(databases).ok());
  const QueryParse parse = parseQuery(GetParam().query);
  ASSERT_TRUE(parse.query) << parse.error;
  SearchOptions options;
  options.limits = GetParam().limits;
  if (GetParam().stop) options.stop = [] { return true; };
  SearchResult result;
  const Status searched = runQuery(databases, parse.query->root, options, result);
  std::filesystem::current_path(before);

  EXPECT_EQ(searched.code(), GetParam().code) << searched.text();
  EXPECT_NE(searched.text().find(GetParam().textPart), std::string::npos) << searched.text();
}

std::uint32_t middleLeaf(const std::filesystem::path& path) {
  const auto chain = testing::leafChain(path);
  return chain[chain.size() / 2];
}

INSTANTIATE_TEST_SUITE_P(
    Search, Limits,
    ::testing::Values(
        LimitCase{"WithinTheLimits", "a* OR bach", {}, false, nullptr, Status::Code::kOk, ""},
        LimitCase{"PrefixOverTheKeys",
                  "bach OR aa*",
                  {.maxKeys = 100},
                  false,
                  nullptr,
                  Status::Code::kOverBudget,
                  "troppi da 'aa*'"},
        LimitCase{"KeysCountedOverTheQuery",
                  "aa* OR ab*",
                  {.maxKeys = 150},
                  false,
                  nullptr,
                  Status::Code::kOverBudget,
                  "troppi da 'ab*'"},
        LimitCase{"ListsOverTheEntries",
                  "a*",
                  {.maxListedRecords = 1000},
                  false,
                  nullptr,
                  Status::Code::kOverBudget,
                  "superano 1000 voci"},
        LimitCase{"CallerGivesUp",
                  "bach",
                  {},
                  true,
                  nullptr,
                  Status::Code::kInterrupted,
                  "Ricerca interrotta"},
        LimitCase{"LeafLinkedToItself",
                  "a*",
                  {},
                  false,
                  [](const std::filesystem::path& p) {
                    const auto leaf = middleLeaf(p);
                    testing::setLinks(p, leaf, leaf, leaf);
                  },
                  Status::Code::kDamaged,
                  "opere.idb: file danneggiato"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
