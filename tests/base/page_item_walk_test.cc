// The walk of a B-tree's pages against the library's cursor: over files of
// the shapes the library makes, both give the same items and the same
// ending; over damage the page check lets through or that the bytes of a
// page hide, the page walk ends as damaged without reading past its pages.
#include "base/page_item_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
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

using Code = Status::Code;
using testing::StoredItem;
using Items = std::vector<StoredItem>;
using Make = std::function<void(const std::filesystem::path&)>;

struct Walked {
  Items items;
  Code ending = Code::kOk;
};

template <typename Walk>
Walked walkAll(Walk&& walk) {
  Walked walked;
  bdb::Item key;
  bdb::Item data;
  while (walk.next(key, data)) {
    walked.items.emplace_back(std::string(key.data, key.data + key.size),
                              std::string(data.data, data.data + data.size));
  }
  walked.ending = walk.status().code();
  return walked;
}

Walked walkPages(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  Walked walked = walkAll(PageItemWalk(fd, std::filesystem::file_size(path)));
  close(fd);
  return walked;
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

// Sets the byte at `offset` of page `page` (4096-byte pages) to `value`;
// `slot` >= 0 makes `offset` count from where the page's item in that slot
// lies (this machine's byte order, no checksums).
void setByte(const std::filesystem::path& path, std::uint32_t page, int slot, std::size_t offset,
             char value) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  const std::streamoff start = std::streamoff{page} * 4096;
  if (slot >= 0) {
    std::uint16_t at = 0;
    file.seekg(start + static_cast<std::streamoff>(btree_layout::kHeaderSize + 2 * slot));
    file.read(reinterpret_cast<char*>(&at), sizeof at);
    offset += at;
  }
  file.seekp(start + static_cast<std::streamoff>(offset));
  file.put(value);
}

std::uint32_t middleLeaf(const std::filesystem::path& path) {
  const auto chain = testing::leafChain(path);
  return chain[chain.size() / 2];
}

struct ShapeCase {
  const char* name;
  Make make;
  friend void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }
};

class PageWalkShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(PageWalkShapes, GivesWhatTheLibrarysCursorGives) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  GetParam().make(path);
  ASSERT_TRUE(checkBtreeFile(path).ok());
  bdb::Database database;
  ASSERT_TRUE(database.open(path.c_str(), bdb::OpenMode::kReadOnly).ok());
  const Walked library = walkAll(ItemWalk(database));
  const Walked pages = walkPages(path);
  EXPECT_EQ(pages.ending, library.ending);
  EXPECT_EQ(pages.items.size(), library.items.size());
  EXPECT_TRUE(pages.items == library.items);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkShapes,
    ::testing::Values(ShapeCase{"Empty", [](auto p) { testing::loadDatabase(p, {}); }},
                      // Puts in no order split leaves everywhere: the chain jumps about
                      // the file.
                      ShapeCase{"PutInShuffledOrder",
                                [](auto p) {
                                  Items items = numbered(6000, 60);
                                  std::shuffle(items.begin(), items.end(), std::mt19937(7));
                                  testing::loadDatabase(p, items);
                                }},
                      ShapeCase{"BigEndianChecksummedSmallPages",
                                [](auto p) {
                                  testing::loadDatabase(
                                      p, numbered(500, 100), "btree",
                                      "db_lorder=4321\nchksum=1\ndb_pagesize=512\n");
                                }},
                      // The mark a cursor's delete leaves on a data item until the cursor
                      // moves on.
                      ShapeCase{"ADataItemMarkedDeleted",
                                [](auto p) {
                                  testing::loadDatabase(p, numbered(3000, 60));
                                  setByte(p, testing::leafChain(p)[3], 5,
                                          btree_layout::kItemTypeOffset,
                                          static_cast<char>(0x80 | btree_layout::kBytesItem));
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

struct DamageCase {
  const char* name;
  Make damage;
  friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

class PageWalkDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(PageWalkDamage, EndsTheWalkAsDamaged) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  testing::loadDatabase(path, numbered(3000, 60));
  GetParam().damage(path);
  const Walked walked = walkPages(path);
  EXPECT_EQ(walked.ending, Code::kDamaged);
  EXPECT_LT(walked.items.size(), 3000u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkDamage,
    ::testing::Values(DamageCase{"ChainEndsAtAMiddleLeaf",
                                 [](auto p) {
                                   const auto chain = testing::leafChain(p);
                                   const auto cut = chain.size() / 2;
                                   testing::setLinks(p, chain[cut], chain[cut - 1], 0);
                                 }},
                      DamageCase{"KeysOutOfOrder",
                                 [](auto p) { testing::swapFirstTwoKeys(p, middleLeaf(p)); }},
                      DamageCase{"AnItemPastItsPage",
                                 [](auto p) {
                                   setByte(p, middleLeaf(p), -1, btree_layout::kHeaderSize + 1, -1);
                                 }},
                      DamageCase{"AnOverflowPageZeroed",
                                 [](auto p) {
                                   testing::zeroPage(
                                       p,
                                       testing::pagesOfType(p, testing::kOverflowPageType).back());
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
