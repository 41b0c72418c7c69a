// An order by a text field (cerca --ordina T4, the page's ordina=T4) is an
// order of every result, however many: the page asked for holds the results
// that come there in the field's order, not the first of the candidates the
// index proposes; and where the search may not hold enough of them to find
// the page, it says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

// Every record holds SONATA; their titles sort in the reverse of their
// numbers (T940 for record 60 ... T999 for record 1), so the first in the
// title's order are the last the index proposes.
constexpr int kRecords = 60;

std::vector<PlainRecord> orderedWorks() {
  std::vector<PlainRecord> records;
  for (int n = 1; n <= kRecords; ++n)
    records.push_back(PlainRecord()
                          .recordNumber(n)
                          .textField(2, "Sonata")
                          .textField(4, "T" + std::to_string(1000 - n)));
  return records;
}

struct OrderCase {
  const char* name;
  std::uint64_t from;
  std::optional<std::uint64_t> limit;
  SearchLimits limits;
  Status::Code code;
  std::vector<RecordNumber> page;  // when the search gives one
  friend void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }
};

// Records `first` down to `last`.
std::vector<RecordNumber> downFrom(RecordNumber first, RecordNumber last) {
  std::vector<RecordNumber> numbers;
  for (RecordNumber n = first; n >= last; --n) numbers.push_back(n);
  return numbers;
}

class FieldOrder : public ::testing::TestWithParam<OrderCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<testing::CatalogueDir>();
    dir_->prepare(orderedWorks());
    ASSERT_EQ(dir_->run().exitStatus, 0);
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static std::unique_ptr<testing::CatalogueDir> dir_;
};
std::unique_ptr<testing::CatalogueDir> FieldOrder::dir_;

TEST_P(FieldOrder, OrdersEveryResult) {
  const testing::InFolder inFolder(dir_->path());
  SearchDatabases databases;
  ASSERT_TRUE(openSearchDatabases(databases).ok());
  const QueryParse parse = parseQuery("sonata");
  ASSERT_TRUE(parse.query) << parse.error;
  SearchOptions options;
  options.order = *sortOrderNamed("T4");
  options.from = GetParam().from;
  options.limit = GetParam().limit;
  options.limits = GetParam().limits;
  SearchResult result;
  const Status searched = runQuery(databases, parse.query->root, options, result);
  EXPECT_EQ(searched.code(), GetParam().code) << searched.text();
  if (!searched.ok()) {
    EXPECT_NE(searched.text().find("Ricerca troppo ampia per l'ordine T4"), std::string::npos)
        << searched.text();
    return;
  }
  std::vector<RecordNumber> page;
  for (const DecodedRecord& record : result.page) page.push_back(recordNumberOf(record));
  EXPECT_EQ(page, GetParam().page);
  EXPECT_EQ(result.total, static_cast<std::uint64_t>(kRecords));
}

// Ten candidates ranked at most: far fewer than the results.
constexpr SearchLimits kFewRanked{.maxRankedRecords = 10};
constexpr SearchLimits kFewHeld{.maxRankedRecords = 10, .maxFieldOrdered = 20};

INSTANTIATE_TEST_SUITE_P(
    Search, FieldOrder,
    ::testing::Values(
        OrderCase{"FirstPage", 1, 3, kFewRanked, Status::Code::kOk, {60, 59, 58}},
        OrderCase{
            "PagePastTheRankedCandidates", 21, 3, kFewRanked, Status::Code::kOk, {40, 39, 38}},
        OrderCase{"EveryResult", 1, std::nullopt, kFewRanked, Status::Code::kOk, downFrom(60, 1)},
        OrderCase{"PageWithinTheResultsHeld", 16, 5, kFewHeld, Status::Code::kOk, downFrom(45, 41)},
        OrderCase{"PageEndingPastTheResultsHeld", 16, 6, kFewHeld, Status::Code::kOverBudget, {}},
        OrderCase{"EveryResultPastTheResultsHeld",
                  1,
                  std::nullopt,
                  kFewHeld,
                  Status::Code::kOverBudget,
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
