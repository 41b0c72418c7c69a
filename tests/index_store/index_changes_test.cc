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
  std::vector<RecordNumber> result;   // the array the term leaves with
  const char* madeBeforeAndNow;       // "10": made before, not now
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
  EXPECT_EQ(change.keep ? earlier : data, storedOf(c.result));
  const std::string madeBeforeAndNow = {char('0' + change.madeBefore), char('0' + change.madeNow)};
  EXPECT_EQ(madeBeforeAndNow, c.madeBeforeAndNow);
  EXPECT_LE(asked, 1);
}

// Key order runs by the low byte first: 256 comes before 1, 1 before 257.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Increment, ChangeTerm,
    ::testing::Values(
        TermChangeCase{"NoRecordOfItReadIsKeptAsItWas", {256, 1}, {2}, {}, false, true, {256, 1}, "00"},
        TermChangeCase{"RecordsReadLeaveItAndComeInKeyOrder", {256, 1, 257}, {1, 2, 513}, {513, 2},
                       true, true, {256, 257, 513, 2}, "11"},
        TermChangeCase{"ANegativeNumberReadIsDropped", {256, -5}, {-5}, {}, true, true, {256}, "11"},
        TermChangeCase{"NoLongerCarriedByAnyRecordIsKeptAsItWas", {256, 1}, {256, 1}, {}, true, true,
                       {256, 1}, "10"},
        TermChangeCase{"KeptTermCarriedAgainListsOnlyItsNewRecord", {256, 1}, {1, 2}, {2}, false, true,
                       {2}, "01"},
        TermChangeCase{"KeptTermWhoseRecordIsReadWithoutItStaysKept", {256, 1}, {1}, {}, false, true,
                       {256, 1}, "00"},
        TermChangeCase{"NewTermListsItsRecords", {}, {1, 2}, {1, 2}, false, true, {1, 2}, "01"},
        TermChangeCase{"MadeTermNoRecordOfWhichIsReadGainsARecord", {256, 1}, {2}, {2}, false, true,
                       {256, 1, 2}, "11"},
        TermChangeCase{"KeptTermNoRecordOfWhichIsReadGainsARecord", {256, 1}, {2}, {2}, false, false,
                       {2}, "01"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace indicizza
