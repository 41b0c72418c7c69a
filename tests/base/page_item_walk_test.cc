// The walk of a B-tree's pages against the library's cursor: over files of
// the shapes the library makes, both give the same items and the same
// ending; over damage the page check lets through or that the bytes of a
// page hide, the page walk ends as damaged without reading past its pages.
#include "base/page_item_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "base/btree_pages.h"
#include "base/item_walk.h"
#include "support/btree_damage.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;
using Items = std::vector<StoredItem>;
using Make = std::function<void(const std::filesystem::path&)>;

// Every item a walk gives, in order, then how it ended.
template <typename Walk>
Items walkAll(Walk&& walk) {
  Items items;
  bdb::Item key;
  bdb::Item data;
  while (walk.next(key, data)) {
    items.emplace_back(std::string(key.data, key.data + key.size),
                       std::string(data.data, data.data + data.size));
  }
  items.emplace_back("ended", std::to_string(static_cast<int>(walk.status().code())));
  return items;
}

Items walkPages(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  Items items = walkAll(PageItemWalk(fd, std::filesystem::file_size(path)));
  close(fd);
  return items;
}

// `count` items under 8-byte keys that sort as their numbers, with data of
// `size` bytes; one in seven has data of 3,000 bytes, one in fifty a key of
// 1,500, both on overflow pages.
Items numbered(int count, std::size_t size) {
  Items items;
  for (int i = 0; i < count; ++i) {
    std::string key(8, '\0');
    for (int b = 0; b < 8; ++b) key[7 - b] = static_cast<char>((i * 7919ull) >> (8 * b));
    if (i % 50 == 3) key += std::string(1500, 'k');
    items.emplace_back(key, std::string(i % 7 == 0 ? 3000 : size, static_cast<char>('a' + i % 26)));
  }
  return items;
}

// Sets byte `offset` of the item in slot `slot` of leaf `page` to `value`
// (4096-byte pages in this machine's byte order, no checksums).
void setItemByte(const std::filesystem::path& path, std::uint32_t page, int slot,
                 std::size_t offset, char value) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  std::uint16_t at = 0;
  file.seekg(std::streamoff{page} * 4096 + btree_layout::kHeaderSize + 2 * slot);
  file.read(reinterpret_cast<char*>(&at), sizeof at);
  file.seekp(std::streamoff{page} * 4096 + at + static_cast<std::streamoff>(offset));
  file.put(value);
}

std::uint32_t middleLeaf(const std::filesystem::path& path) {
  const auto chain = testing::leafChain(path);
  return chain[chain.size() / 2];
}

struct FileCase {
  const char* name;
  Make make;
  friend void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }
};

class PageWalkShapes : public ::testing::TestWithParam<FileCase> {};

TEST_P(PageWalkShapes, GivesWhatTheLibrarysCursorGives) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  GetParam().make(path);
  ASSERT_TRUE(checkBtreeFile(path).ok());
  bdb::Database database;
  ASSERT_TRUE(database.open(path.c_str(), bdb::OpenMode::kReadOnly).ok());
  const Items library = walkAll(ItemWalk(database));
  const Items pages = walkPages(path);
  EXPECT_EQ(pages.back(), library.back());
  EXPECT_TRUE(pages == library);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkShapes,
    ::testing::Values(FileCase{"Empty", [](auto p) { testing::loadDatabase(p, {}); }},
                      // Puts in no order split leaves everywhere: the chain jumps about
                      // the file.
                      FileCase{"PutInShuffledOrder",
                               [](auto p) {
                                 Items items = numbered(6000, 60);
                                 std::shuffle(items.begin(), items.end(), std::mt19937(7));
                                 testing::loadDatabase(p, items);
                               }},
                      FileCase{"BigEndianChecksummedSmallPages",
                               [](auto p) {
                                 testing::loadDatabase(
                                     p, numbered(500, 100), "btree",
                                     "db_lorder=4321\nchksum=1\ndb_pagesize=512\n");
                               }},
                      // The mark a cursor's delete leaves on a data item until the cursor
                      // moves on.
                      FileCase{"ADataItemMarkedDeleted",
                               [](auto p) {
                                 testing::loadDatabase(p, numbered(3000, 60));
                                 setItemByte(p, testing::leafChain(p)[3], 5,
                                             btree_layout::kItemTypeOffset,
                                             static_cast<char>(0x80 | btree_layout::kBytesItem));
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

class PageWalkDamage : public ::testing::TestWithParam<FileCase> {};

TEST_P(PageWalkDamage, EndsTheWalkAsDamaged) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  testing::loadDatabase(path, numbered(3000, 60));
  GetParam().make(path);
  const Items walked = walkPages(path);
  EXPECT_EQ(walked.back().second, std::to_string(static_cast<int>(Status::Code::kDamaged)));
  EXPECT_LE(walked.size(), 3000u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkDamage,
    ::testing::Values(
        FileCase{"ChainEndsAtAMiddleLeaf",
                 [](auto p) {
                   const auto chain = testing::leafChain(p);
                   const auto cut = chain.size() / 2;
                   testing::setLinks(p, chain[cut], chain[cut - 1], 0);
                 }},
        FileCase{"KeysOutOfOrder", [](auto p) { testing::swapFirstTwoKeys(p, middleLeaf(p)); }},
        // A key whose length runs past its page.
        FileCase{"AnItemPastItsPage", [](auto p) { setItemByte(p, middleLeaf(p), 0, 1, -1); }},
        FileCase{"AnOverflowPageZeroed",
                 [](auto p) {
                   testing::zeroPage(p, testing::pagesOfType(p, testing::kOverflowPageType).back());
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
