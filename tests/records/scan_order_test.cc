// The scan phase in process: what the record handler receives, and in which
// order.
#include <gtest/gtest.h>

#include "base/console.h"
#include "records/scan_records.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

TEST(ScanRecords, HandsEachStoredRecordOnceInKeyByteOrder) {
  testing::CatalogueDir dir;
  std::vector<testing::StoredItem> items;
  for (RecordNumber number : {2, 256, 1, -1, 65536}) {
    items.push_back(testing::storedItemOf(
        PlainRecord().recordNumber(number).textField(1, "N" + std::to_string(number))));
  }
  dir.dataDatabase(items);

  DataDatabase database = openDataDatabase(dir / "opere.ddb");
  readyForLoad(database);
  std::vector<RecordNumber> seen;
  ::testing::internal::CaptureStdout();
  scanRecords(database, buildScrambleKey(), [&](const DecodedRecord& record) {
    EXPECT_EQ(record.bytes().size(), kStoredRecordSize);
    const std::string name = "N" + std::to_string(recordNumberOf(record));
    EXPECT_EQ(textField(record, 1).substr(0, name.size()), name);
    seen.push_back(recordNumberOf(record));
  });
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\n\n");
  closeDataDatabase(database);
  // Keys 00 00 01 00, 00 01 00 00, 01 00.., 02 00.., FF FF FF FF.
  EXPECT_EQ(seen, (std::vector<RecordNumber>{65536, 256, 1, 2, -1}));
}

// What the walk's thread prepares reaches the handler with its own record,
// across blocks; a preparer that throws has every record before the one it
// failed on handled, then its exception comes out.
struct PreparationCase {
  int records;
  int failAt;  // the record the preparer throws on; -1 for none
  friend void PrintTo(const PreparationCase& c, std::ostream* os) {
    *os << c.records << " records, failing at " << c.failAt;
  }
};

class ScanPreparation : public ::testing::TestWithParam<PreparationCase> {};

TEST_P(ScanPreparation, GoesWithItsRecordAndAFailureKeepsTheRecordsBefore) {
  testing::CatalogueDir dir;
  std::vector<testing::StoredItem> items;
  for (RecordNumber number = 1; number <= GetParam().records; ++number)
    items.push_back(testing::storedItemOf(PlainRecord().recordNumber(number)));
  dir.dataDatabase(items);
  DataDatabase database = openDataDatabase(dir / "opere.ddb");
  readyForLoad(database);

  int prepared = 0;  // on the walk's thread only
  std::size_t handled = 0;
  const auto scan = [&] {
    return tryScanPrepared<RecordNumber>(
        database.handle, buildScrambleKey(),
        [&](const DecodedRecord& record, RecordNumber& number) {
          if (prepared++ == GetParam().failAt) throw std::bad_alloc();
          number = recordNumberOf(record);
        },
        [&](const DecodedRecord& record, const RecordNumber& number) {
          EXPECT_EQ(number, recordNumberOf(record));
          ++handled;
        },
        [](const bdb::Item&, std::size_t) {});
  };
  if (GetParam().failAt < 0) {
    EXPECT_TRUE(scan().ok());
    EXPECT_EQ(handled, static_cast<std::size_t>(GetParam().records));
  } else {
    EXPECT_THROW(scan(), std::bad_alloc);
    EXPECT_EQ(handled, static_cast<std::size_t>(GetParam().failAt));
  }
  closeDataDatabase(database);
}

INSTANTIATE_TEST_SUITE_P(Scan, ScanPreparation,
                         ::testing::Values(PreparationCase{9000, -1}, PreparationCase{9000, 0},
                                           PreparationCase{9000, 4095}, PreparationCase{9000, 4096},
                                           PreparationCase{9000, 8999}));

}  // namespace
}  // namespace indicizza
