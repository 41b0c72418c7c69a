// How an increment works out one term's array from opere.idb as it was and
// the records it read, against what reading every record would give.
#include "index_store/index_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index_store/index_database.h"

namespace indicizza {
namespace {

IndexEntry changeEntryOf(RecordNumber number) { return {number, {{'L', 'B'}}}; }

std::vector<std::uint8_t> storedOf(const std::vector<RecordNumber>& numbers) {
  std::vector<std::uint8_t> bytes;
  for (const RecordNumber number : numbers) {
    const StoredEntry stored = storedEntryOf(changeEntryOf(number));
    bytes.insert(bytes.end(), stored.begin(), stored.end());
  }
  return bytes;
}

struct TermChangeCase {
  const char* name;
  std::vector<RecordNumber> earlier;  // the term's array in opere.idb, in key order
  std::vector<RecordNumber> read;     // every record the run read
  std::vector<RecordNumber> made;     // those that carry the term, in key order
  bool carriedBefore;                 // by a replaced record as it was
  bool carriesAsked;                  // the answer for a record not read
  bool keep;
  std::vector<RecordNumber> result;  // when not kept
  bool madeBefore;
  bool madeNow;
  friend void PrintTo(const TermChangeCase& c, std::ostream* os) { *os << c.name; }
};

class ChangeTerm : public ::testing::TestWithParam<TermChangeCase> {};

TEST_P(ChangeTerm, GivesTheArrayOfAFullScan) {
  const TermChangeCase& c = GetParam();
  std::vector<RecordKey> read;
  for (const RecordNumber number : c.read) read.push_back(recordKeyOf(number));
  int asked = 0;
  const IndexChanges changes{
      ChangedRecords(read),
      c.carriedBefore ? std::vector<std::string>{"A", "TERM"} : std::vector<std::string>{"A"}, 0,
      [&](std::span<const std::uint8_t, kRecordKeySize> key, std::string_view term, bool& carries) {
        ++asked;
        EXPECT_EQ(term, "TERM");
        EXPECT_EQ(recordNumberOfKey(key), c.earlier.front());
        carries = c.carriesAsked;
        return Status{};
      }};
  std::vector<IndexEntry> made;
  for (const RecordNumber number : c.made) made.push_back(changeEntryOf(number));
  const std::vector<std::uint8_t> earlier = storedOf(c.earlier);
  std::vector<std::uint8_t> data;
  TermChange change;
  ASSERT_TRUE(changeTerm("TERM", earlier, made, changes, data, change).ok());
  EXPECT_EQ(change.keep, c.keep);
  if (!c.keep) {
    EXPECT_EQ(data, storedOf(c.result));
  }
  EXPECT_EQ(change.madeBefore, c.madeBefore);
  EXPECT_EQ(change.madeNow, c.madeNow);
  EXPECT_LE(asked, 1);
}

// Key order runs by the low byte first: 256 comes before 1, 1 before 257.
INSTANTIATE_TEST_SUITE_P(
    Increment, ChangeTerm,
    ::testing::Values(
        TermChangeCase{"NoRecordOfItReadIsKeptAsItWas",
                       {256, 1},
                       {2},
                       {},
                       false,
                       true,
                       true,
                       {},
                       false,
                       false},
        TermChangeCase{"RecordsReadLeaveItAndComeInKeyOrder",
                       {256, 1, 257},
                       {1, 2, 513},
                       {513, 2},
                       true,
                       true,
                       false,
                       {256, 257, 513, 2},
                       true,
                       true},
        TermChangeCase{"ANegativeNumberReadIsDropped",
                       {256, -5},
                       {-5},
                       {},
                       true,
                       true,
                       false,
                       {256},
                       true,
                       true},
        TermChangeCase{"NoLongerCarriedByAnyRecordIsKeptAsItWas",
                       {256, 1},
                       {256, 1},
                       {},
                       true,
                       true,
                       true,
                       {},
                       true,
                       false},
        TermChangeCase{"KeptTermCarriedAgainListsOnlyItsNewRecord",
                       {256, 1},
                       {1, 2},
                       {2},
                       false,
                       true,
                       false,
                       {2},
                       false,
                       true},
        TermChangeCase{"KeptTermWhoseRecordIsReadWithoutItStaysKept",
                       {256, 1},
                       {1},
                       {},
                       false,
                       true,
                       true,
                       {},
                       false,
                       false},
        TermChangeCase{
            "NewTermListsItsRecords", {}, {1, 2}, {1, 2}, false, true, false, {1, 2}, false, true},
        TermChangeCase{"MadeTermNoRecordOfWhichIsReadGainsARecord",
                       {256, 1},
                       {2},
                       {2},
                       false,
                       true,
                       false,
                       {256, 1, 2},
                       true,
                       true},
        TermChangeCase{"KeptTermNoRecordOfWhichIsReadGainsARecord",
                       {256, 1},
                       {2},
                       {2},
                       false,
                       false,
                       false,
                       {2},
                       false,
                       true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
