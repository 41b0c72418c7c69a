// The load on its own: whichever way the records that survive are read
// again (one read each, or the file read through once per slice of them)
// and whichever way they are written (pages, or the library's puts), the
// data database ends the same.
#include "records/load_records.h"

#include <gtest/gtest.h>

#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

// The data database after loading `records` with slices of at most
// `sliceRecords` records read again at once, written as `writing` says.
std::vector<testing::StoredItem> loaded(const std::vector<PlainRecord>& records,
                                        std::size_t sliceRecords,
                                        DataWriting writing = DataWriting::kPages) {
  testing::CatalogueDir dir;
  dir.prepare(records);
  RecordFile file;
  DataDatabase database;
  bool shortFinalRecord = true;
  std::size_t stored = 0;
  EXPECT_TRUE(tryOpenRecordFile(dir / "opere.cry", file).ok());
  EXPECT_TRUE(tryOpenDataDatabase(dir / "opere.ddb", database, writing).ok());
  std::size_t handedOn = 0;
  const StoredRecords handOn = [&](const bdb::BulkPairs& pairs) {
    handedOn += pairs.count();
    return true;
  };
  EXPECT_TRUE(tryLoadRecords(
                  file, database, buildScrambleKey(), [&](std::size_t n) { stored += n; },
                  shortFinalRecord, handOn, sliceRecords * kStoredRecordSize)
                  .ok());
  EXPECT_EQ(database.pages.isOpen(), writing == DataWriting::kPages);
  EXPECT_TRUE(tryCloseDataDatabase(database).ok());
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  // Every record stored is handed on, just when it went into pages.
  const auto items = dir.dataItems();
  EXPECT_EQ(handedOn, writing == DataWriting::kPages ? items.size() : 0u);
  EXPECT_EQ(stored, records.size());
  EXPECT_FALSE(shortFinalRecord);
  return items;
}

// Records 1..999 and -10..-1, then ten of those numbers again (each later
// record replaces the earlier): 1009 survivors of 1019 records, in a file
// order far from the key order (a number's lowest byte first). Read one at
// a time (slices of 0 records), then in three, two and one slice.
TEST(Load, EveryWayOfReadingTheRecordsAgainStoresTheSame) {
  std::vector<PlainRecord> records = testing::numberedRecords(1, 999);
  for (int n = -10; n < 0; ++n) records.push_back(PlainRecord().recordNumber(n));
  for (const int n : {3, 259, 515, 771, 999, -1, -3, -5, -7, -9})
    records.push_back(PlainRecord().recordNumber(n).textField(1, "ANCORA"));
  for (std::size_t i = 0; i < records.size(); ++i) records[i].textField(2, std::to_string(i));

  const auto oneByOne = loaded(records, 0);
  ASSERT_EQ(oneByOne.size(), 1009u);
  EXPECT_NE(std::find(oneByOne.begin(), oneByOne.end(), testing::storedItemOf(records.back())),
            oneByOne.end());
  for (const std::size_t sliceRecords : {337, 505, 1009})
    EXPECT_EQ(loaded(records, sliceRecords), oneByOne) << "slices of " << sliceRecords;
  EXPECT_EQ(loaded(records, 337, DataWriting::kLibraryPuts), oneByOne) << "library puts";
}

}  // namespace
}  // namespace indicizza
