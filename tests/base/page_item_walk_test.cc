// The walk of a B-tree's pages against the library's cursor: over files of
// every shape the library makes, both give the same items and the same
// ending; over damaged files, the page walk ends as damaged without reading
// past what it was given.
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
#include "base/btree_writer.h"
#include "base/item_walk.h"
#include "support/btree_damage.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using Code = Status::Code;
using testing::StoredItem;
using Items = std::vector<StoredItem>;

struct Walked {
  Items items;
  Code ending = Code::kOk;
};

template <typename Walk>
Walked walkAll(Walk& walk) {
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
  PageItemWalk walk(fd, std::filesystem::file_size(path));
  Walked walked = walkAll(walk);
  close(fd);
  return walked;
}

Walked walkWithLibrary(const std::filesystem::path& path) {
  bdb::Database database;
  EXPECT_TRUE(database.open(path.c_str(), bdb::OpenMode::kReadOnly).ok());
  ItemWalk walk(database);
  return walkAll(walk);
}

// `count` items under 8-byte keys that sort as their numbers, with data of
// `size` bytes; the keys are spread so that later puts land between them.
Items numbered(int count, std::size_t size) {
  Items items;
  for (int i = 0; i < count; ++i) {
    std::string key(8, '\0');
    for (int b = 0; b < 8; ++b) key[7 - b] = static_cast<char>((i * 7919ull) >> (8 * b));
    items.emplace_back(key, std::string(size, static_cast<char>('a' + i % 26)));
  }
  return items;
}

std::string readPage(const std::filesystem::path& path, std::uint32_t page) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes(4096, '\0');
  file.seekg(std::streamoff{page} * 4096);
  file.read(bytes.data(), 4096);
  return bytes;
}

void writeByte(const std::filesystem::path& path, std::uint64_t offset, std::uint8_t value) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(offset));
  file.put(static_cast<char>(value));
}

// The file offset of the item in slot `slot` of leaf `page` (4096-byte
// pages, no checksums, this machine's byte order).
std::uint64_t itemOffset(const std::filesystem::path& path, std::uint32_t page, int slot) {
  const std::string bytes = readPage(path, page);
  std::uint16_t at = 0;
  std::memcpy(&at, bytes.data() + btree_layout::kHeaderSize + 2 * slot, 2);
  return std::uint64_t{page} * 4096 + at;
}

struct ShapeCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> make;
  friend void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }
};

class PageWalkShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(PageWalkShapes, GivesWhatTheLibrarysCursorGives) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  GetParam().make(path);
  ASSERT_TRUE(checkBtreeFile(path).ok());
  const Walked pages = walkPages(path);
  const Walked library = walkWithLibrary(path);
  EXPECT_EQ(pages.ending, library.ending);
  EXPECT_EQ(pages.items.size(), library.items.size());
  EXPECT_TRUE(pages.items == library.items);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkShapes,
    ::testing::Values(ShapeCase{"Empty", [](auto p) { testing::loadDatabase(p, {}); }},
                      // Overflow keys and data beside small ones, and one item of 3 MB,
                      // as the indexer writes them.
                      ShapeCase{
                          "WrittenAsPagesWithOverflowKeysAndData",
                          [](auto p) {
                            Items items = numbered(2000, 20);
                            for (std::size_t i = 0; i < items.size(); i += 7)
                              items[i].second.assign(i == 700 ? 3 << 20 : 1000 + i, 'o');
                            for (std::size_t i = 3; i < items.size(); i += 50)
                              items[i].first += std::string(1500, 'k');
                            std::sort(items.begin(), items.end());
                            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                            BtreeWriter writer(fd, 4096);
                            for (const auto& [key, data] : items)
                              ASSERT_TRUE(writer.add(bdb::bytesOf(key), bdb::bytesOf(data)).ok());
                            ASSERT_TRUE(writer.finish().ok());
                            close(fd);
                          }},
                      // Puts in no order: leaves split everywhere, so the chain jumps
                      // about the file.
                      ShapeCase{"PutInShuffledOrder",
                                [](auto p) {
                                  Items items = numbered(6000, 60);
                                  std::shuffle(items.begin(), items.end(), std::mt19937(7));
                                  testing::loadDatabase(p, items);
                                }},
                      ShapeCase{"BigEndianChecksummedSmallPages",
                                [](auto p) {
                                  testing::loadDatabase(
                                      p, numbered(500, 600), "btree",
                                      "db_lorder=4321\nchksum=1\ndb_pagesize=512\n");
                                }},
                      // The mark a cursor's delete leaves until the cursor moves on.
                      ShapeCase{"ADataItemMarkedDeleted",
                                [](auto p) {
                                  testing::loadDatabase(p, numbered(3000, 60));
                                  const std::uint32_t leaf = testing::leafChain(p)[3];
                                  const std::uint64_t type = itemOffset(p, leaf, 5) + 2;
                                  writeByte(p, type, 0x81);  // a bytes item, deleted
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

struct DamageCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> damage;
  Code expected;
  friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

class PageWalkDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(PageWalkDamage, EndsTheWalkAsDamaged) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  Items items = numbered(3000, 60);
  items[1500].second.assign(20000, 'o');  // one overflow chain
  testing::loadDatabase(path, items);
  GetParam().damage(path);
  const Walked walked = walkPages(path);
  EXPECT_EQ(walked.ending, GetParam().expected);
  EXPECT_LT(walked.items.size(), items.size());
}

const auto middleLeaf = [](const std::filesystem::path& p) {
  const auto chain = testing::leafChain(p);
  return chain[chain.size() / 2];
};

INSTANTIATE_TEST_SUITE_P(
    Files, PageWalkDamage,
    ::testing::Values(
        DamageCase{"ChainEndsAtAMiddleLeaf",
                   [](auto p) {
                     const auto chain = testing::leafChain(p);
                     const auto cut = chain.size() / 2;
                     testing::setLinks(p, chain[cut], chain[cut - 1], 0);
                   },
                   Code::kDamaged},
        DamageCase{"KeysOutOfOrder", [](auto p) { testing::swapFirstTwoKeys(p, middleLeaf(p)); },
                   Code::kDamaged},
        DamageCase{"ALeafZeroed", [](auto p) { testing::zeroPage(p, middleLeaf(p)); },
                   Code::kDamaged},
        DamageCase{"AnItemPastItsPage",
                   [](auto p) {
                     const std::uint32_t leaf = middleLeaf(p);
                     writeByte(p, std::uint64_t{leaf} * 4096 + btree_layout::kHeaderSize + 1, 0xff);
                   },
                   Code::kDamaged},
        DamageCase{"OverflowChainCut",
                   [](auto p) {
                     const auto chain = testing::pagesOfType(p, testing::kOverflowPageType);
                     testing::setLinks(p, chain[0], 0, 0);
                   },
                   Code::kDamaged},
        DamageCase{
            "FileCutShort",
            [](auto p) { std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2); },
            Code::kDamaged}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
