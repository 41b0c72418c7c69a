// The load on its own: whichever way the records that survive are read
// again (one read each, or the file read through once per slice of them),
// the data database ends the same.
#include "records/load_records.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;
using testing::storedItemOf;

// Records 1..999 and -10..-1, then ten of those numbers again (each later
// record replaces the earlier): 1009 survivors of 1019 records, in a file
// order far from the key order (a number's lowest byte first).
std::vector<PlainRecord> catalogue() {
  std::vector<PlainRecord> records = testing::numberedRecords(1, 999);
  for (int n = -10; n < 0; ++n) records.push_back(PlainRecord().recordNumber(n));
  for (const int n : {3, 259, 515, 771, 999, -1, -3, -5, -7, -9})
    records.push_back(PlainRecord().recordNumber(n).textField(1, "ANCORA"));
  for (std::size_t i = 0; i < records.size(); ++i) records[i].textField(2, std::to_string(i));
  return records;
}

std::vector<StoredItem> survivorsOf(const std::vector<PlainRecord>& records) {
  std::vector<StoredItem> items;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const StoredItem item = storedItemOf(*it);
    const bool replaced = std::any_of(items.begin(), items.end(),
                                      [&](const StoredItem& s) { return s.first == item.first; });
    if (!replaced) items.push_back(item);
  }
  std::sort(items.begin(), items.end());
  return items;
}

class RereadSlices : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RereadSlices, StoreTheLastRecordOfEachNumberUnderItsKey) {
  testing::CatalogueDir dir;
  const auto records = catalogue();
  dir.prepare(records);

  RecordFile file;
  ASSERT_TRUE(tryOpenRecordFile(dir / "opere.cry", file).ok());
  DataDatabase database;
  ASSERT_TRUE(tryOpenDataDatabase(dir / "opere.ddb", database).ok());
  std::size_t stored = 0;
  bool shortFinalRecord = true;
  const Status loaded = tryLoadRecords(
      file, database, buildScrambleKey(), [&](std::size_t n) { stored += n; },
      shortFinalRecord, GetParam() * kStoredRecordSize);
  ASSERT_TRUE(loaded.ok());
  ASSERT_TRUE(tryCloseDataDatabase(database).ok());

  EXPECT_EQ(stored, records.size());
  EXPECT_FALSE(shortFinalRecord);
  EXPECT_EQ(dir.dataItems(), survivorsOf(records));
}

// Slices of (at most) this many records: none, so a read per record; too
// small to be worth it; three, two and one slice.
INSTANTIATE_TEST_SUITE_P(Load, RereadSlices, ::testing::Values(0, 100, 337, 505, 1009));

}  // namespace
}  // namespace indicizza
