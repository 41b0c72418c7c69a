// Bulk puts and bulk cursor reads through the Berkeley DB layer, with buffers
// far smaller than some items, so both grow and batches split.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/berkeley_db.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct BulkCase {
  const char* name;
  std::size_t putCapacity;
  std::size_t getCapacity;
  std::vector<std::size_t> dataSizes;  // of items keyed "k000", "k001", ...

  friend void PrintTo(const BulkCase& c, std::ostream* os) { *os << c.name; }
};

class BulkTransfer : public ::testing::TestWithParam<BulkCase> {};

TEST_P(BulkTransfer, StoresAndReadsBackEveryItemInKeyOrder) {
  std::vector<StoredItem> items;
  for (std::size_t i = 0; i < GetParam().dataSizes.size(); ++i) {
    const std::string number = std::to_string(i);
    const std::string key = "k" + std::string(3 - number.size(), '0') + number;
    std::string data(GetParam().dataSizes[i], '\0');
    for (std::size_t j = 0; j < data.size(); ++j) data[j] = static_cast<char>(i * 31 + j);
    items.emplace_back(key, data);
  }

  testing::ScratchDir dir;
  const auto path = dir / "bulk.db";
  bdb::Database database;
  ASSERT_TRUE(database.open(path.c_str(), bdb::OpenMode::kCreateNew).ok());

  bdb::BulkPairs pairs(GetParam().putCapacity);
  int puts = 0;
  for (const auto& [key, data] : items) {
    if (!pairs.add(bytesOf(key), bytesOf(data))) {
      ASSERT_TRUE(database.putBulk(pairs).ok());
      ++puts;
      pairs.clear();
      ASSERT_TRUE(pairs.add(bytesOf(key), bytesOf(data)));
    }
  }
  ASSERT_TRUE(database.putBulk(pairs).ok());

  std::vector<StoredItem> read;
  {
    bdb::Cursor cursor;
    ASSERT_TRUE(database.openCursor(cursor).ok());
    bdb::BulkItems bulk(GetParam().getCapacity);
    Status result = cursor.firstBulk(bulk);
    for (; result.ok(); result = cursor.nextBulk(bulk)) {
      bdb::Item key;
      bdb::Item data;
      while (bulk.next(key, data)) {
        read.emplace_back(std::string(reinterpret_cast<const char*>(key.data), key.size),
                          std::string(reinterpret_cast<const char*>(data.data), data.size));
      }
    }
    EXPECT_EQ(result.code(), Status::Code::kNotFound);
  }
  ASSERT_TRUE(database.close().ok());

  // Compared whole, but not printed: the items are long.
  EXPECT_EQ(read.size(), items.size());
  EXPECT_TRUE(read == items);
  EXPECT_TRUE(testing::dumpDatabase(path) == items);
  if (GetParam().dataSizes.size() > 1) {
    EXPECT_GT(puts, 0) << "the batch never filled up";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, BulkTransfer,
    ::testing::Values(
        BulkCase{"SmallItems", 256, 0, {1, 7, 0, 30, 30, 30, 30, 30, 12}},
        BulkCase{"ItemsLargerThanEitherBuffer", 64, 0, {3, 5000, 10, 70000, 2, 140000, 1}},
        BulkCase{"OneHugeItem", 64, 0, {300000}},
        BulkCase{"ManyRecordSizedItems", 4096, 0, std::vector<std::size_t>(300, 524)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
