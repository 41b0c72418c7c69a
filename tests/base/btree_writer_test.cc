// The B-tree writer against the library: each item set is stored once by
// the library's puts and once by the writer, and the written file must
// verify, dump the same, pass the page check, and take further puts that
// split its full pages.
#include "base/btree_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "base/berkeley_db.h"
#include "base/btree_pages.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using bdb::bytesOf;
using testing::StoredItem;
using Items = std::vector<StoredItem>;

// The text of db5.3_dump -p of `path` (its header and every item).
std::string printedDumpOf(const std::filesystem::path& path) {
  std::FILE* pipe = popen(("db5.3_dump -p '" + path.string() + "' 2>&1").c_str(), "r");
  std::string text;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
  EXPECT_EQ(pclose(pipe), 0) << text;
  return text;
}

// Puts `items` into `path` through the library (created when `create`).
void putWithLibrary(const std::filesystem::path& path, const Items& items, bool create) {
  bdb::Database database;
  ASSERT_TRUE(
      database.open(path.c_str(), create ? bdb::OpenMode::kCreateNew : bdb::OpenMode::kExisting)
          .ok());
  bdb::BulkPairs pair(4096);
  for (const auto& [key, data] : items) {
    pair.add(bytesOf(key), bytesOf(data));
    ASSERT_TRUE(database.putBulk(pair).ok());
    pair.clear();
  }
  ASSERT_TRUE(database.close().ok());
}

// Writes `items` with the writer to a new file at `path`; the pages written.
std::uint32_t writeWithWriter(const std::filesystem::path& path, const Items& items) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  BtreeWriter writer(fd, libraryDefaultPageSize(fd));
  for (const auto& [key, data] : items) EXPECT_TRUE(writer.add(bytesOf(key), bytesOf(data)).ok());
  EXPECT_TRUE(writer.finish().ok());
  EXPECT_TRUE(writer.sync().ok());
  close(fd);
  return writer.pageCount();
}

// The level of the root page of the B-tree at `path` (1: a lone leaf).
int rootLevel(const std::filesystem::path& path) {
  const std::string file = testing::readFile(path);
  std::uint32_t root = 0;
  std::memcpy(&root, file.data() + btree_layout::kRootOffset, sizeof root);
  return file.at(std::size_t{root} * kIndexerPageSize + btree_layout::kLevelOffset);
}

// A big-endian 8-byte key of `n`, so that numbers sort as keys.
std::string numberKey(std::uint64_t n) {
  std::string key(8, '\0');
  for (std::size_t i = 0; i < 8; ++i) key[7 - i] = static_cast<char>(n >> (8 * i));
  return key;
}

// `count` items keyed by numberKey(i * step), with data of `size` bytes.
Items numberedItems(int count, std::uint64_t step, std::size_t size) {
  Items items;
  for (int i = 0; i < count; ++i) items.emplace_back(numberKey(i * step), std::string(size, 'd'));
  return items;
}

// Keys of 8 bytes and data of 100 make pairs of 120 bytes of the 4070 a
// 4096-byte leaf holds: 33 of them and one with data of 89 bytes fill it
// but for 2 bytes, too few for any item.
Items fullLeaf(int extra) {
  Items items = numberedItems(33, 1, 100);
  items.emplace_back(numberKey(33), std::string(89, 'e'));
  for (int i = 0; i < extra; ++i) items.emplace_back(numberKey(34 + i), "x");
  return items;
}

// Keys (or data) of the lengths around the overflow threshold in turn, one
// of 300 kB among them. The keys differ only in their last bytes, so the
// internal pages hold them whole (three to a page, hence five levels).
Items aroundThreshold(bool keys) {
  constexpr std::size_t kThreshold = btree_layout::overflowThreshold(kIndexerPageSize);
  Items items = numberedItems(300, 1, 0);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::size_t length = i == 150 ? 300000 : kThreshold - 1 + i % 3;
    std::string big = std::string(length - 8, 'k') + items[i].first;
    items[i] = keys ? StoredItem{big, "d"} : StoredItem{items[i].first, big};
  }
  std::sort(items.begin(), items.end());
  return items;
}

struct WriterCase {
  const char* name;
  std::function<Items()> items;
  std::uint32_t pages;  // what the writer writes, or 0 for any number
  int levels;
  friend void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }
};

class BtreeWriting : public ::testing::TestWithParam<WriterCase> {};

TEST_P(BtreeWriting, WritesWhatTheLibraryReadsAsItsOwn) {
  testing::ScratchDir dir;
  const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  const std::size_t pageSize = libraryDefaultPageSize(fd);
  close(fd);
  if (pageSize != kIndexerPageSize) GTEST_SKIP() << "items sized for 4096-byte pages";
  const Items items = GetParam().items();
  putWithLibrary(dir / "library.db", items, true);
  const std::uint32_t pages = writeWithWriter(dir / "written.db", items);
  EXPECT_TRUE(GetParam().pages == 0 || pages == GetParam().pages) << pages;
  EXPECT_EQ(std::filesystem::file_size(dir / "written.db"), std::uintmax_t{pages} * pageSize);
  EXPECT_EQ(rootLevel(dir / "written.db"), GetParam().levels);
  EXPECT_TRUE(testing::verifyDatabase(dir / "written.db"));
  EXPECT_EQ(printedDumpOf(dir / "written.db"), printedDumpOf(dir / "library.db"));
  EXPECT_TRUE(checkBtreeFile(dir / "written.db").ok());

  // Keys right after existing ones land inside full pages and split them;
  // keys past the last one grow the tree at its end.
  Items more;
  for (std::size_t i = 0; i < items.size(); i += 2) more.emplace_back(items[i].first + '\0', "n");
  for (int i = 0; i < 50; ++i) more.emplace_back("\xff\xff" + numberKey(i), std::string(300, 'z'));
  putWithLibrary(dir / "library.db", more, false);
  putWithLibrary(dir / "written.db", more, false);
  EXPECT_TRUE(testing::verifyDatabase(dir / "written.db"));
  EXPECT_EQ(printedDumpOf(dir / "written.db"), printedDumpOf(dir / "library.db"));
  EXPECT_EQ(testing::dumpDatabase(dir / "written.db").size(), items.size() + more.size());
}

INSTANTIATE_TEST_SUITE_P(
    Items, BtreeWriting,
    ::testing::Values(
        WriterCase{"None", [] { return Items{}; }, 2, 1},
        WriterCase{"OneFullLeaf", [] { return fullLeaf(0); }, 2, 1},
        WriterCase{"OneFullLeafAndOneMore", [] { return fullLeaf(1); }, 4, 2},
        WriterCase{"ThreeLevels", [] { return numberedItems(12000, 7919, 90); }, 0, 3},
        WriterCase{"KeysAroundTheOverflowThreshold", [] { return aroundThreshold(true); }, 0, 5},
        WriterCase{"DataAroundTheOverflowThreshold", [] { return aroundThreshold(false); }, 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Key sequences, and which of their keys are taken ('+') or refused.
TEST(BtreeWriterOrder, RefusesAKeyNotAboveTheLastAndGoesOn) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"b", "a", "c"}, "+-+"}, {{"b", "b", "c"}, "+-+"},          {{"ab", "a", "abc"}, "+-+"},
      {{"", "a", ""}, "++-"},   {{"\x7f", "\x80", "\x01"}, "++-"},
  };
  for (const auto& [keys, taken] : cases) {
    SCOPED_TRACE(taken);
    testing::ScratchDir dir;
    const int fd = ::open((dir / "written.db").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    BtreeWriter writer(fd, libraryDefaultPageSize(fd));
    Items kept;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const Status added = writer.add(bytesOf(keys[i]), bytesOf(keys[i]));
      EXPECT_EQ(added.ok() ? '+' : '-', taken[i]);
      EXPECT_TRUE(added.ok() || added.code() == Status::Code::kWriteFailed);
      if (added.ok()) kept.emplace_back(keys[i], keys[i]);
    }
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_FALSE(writer.add(bytesOf("zzz"), {}).ok());
    close(fd);
    EXPECT_TRUE(testing::verifyDatabase(dir / "written.db"));
    EXPECT_EQ(testing::dumpDatabase(dir / "written.db"), kept);
  }
}

// A disk that takes nothing: the failure is the writer's Status, and it
// stays.
TEST(BtreeWriterFailure, ReportsAFullDiskOnEveryLaterCall) {
  const int fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  BtreeWriter writer(fd);
  Status added;
  for (int i = 0; i < 20000 && added.ok(); ++i) {
    added = writer.add(bytesOf(numberKey(i)), bytesOf(std::string(200, 'x')));
  }
  EXPECT_EQ(added.code(), Status::Code::kWriteFailed);
  EXPECT_EQ(added.error(), ENOSPC);
  EXPECT_EQ(writer.add(bytesOf(numberKey(5000)), {}).error(), ENOSPC);
  EXPECT_EQ(writer.finish().error(), ENOSPC);
  close(fd);
}

}  // namespace
}  // namespace indicizza
