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

}  // namespace
}  // namespace indicizza
