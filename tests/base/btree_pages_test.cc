// The page check on files the stock utilities make, sound and then damaged
// the ways a disk, a crash or another program damages them; and the walk's
// own checks on damage whose links stay sound.
#include "base/btree_pages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "base/item_walk.h"
#include "support/btree_damage.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;
using Code = Status::Code;

// `count` items keyed by little-endian numbers, with data of `dataSize` bytes.
std::vector<StoredItem> numberedItems(int count, std::size_t dataSize) {
  std::vector<StoredItem> items;
  for (int i = 0; i < count; ++i)
    items.emplace_back(testing::recordKey(i), std::string(dataSize, 'a' + i % 26));
  return items;
}

struct PageCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> make;
  std::function<void(const std::filesystem::path&)> damage;  // none for a sound file
  Code expected;
  friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
};

void records(const std::filesystem::path& p) { testing::loadDatabase(p, numberedItems(3000, 524)); }
std::uint32_t middle(const std::vector<std::uint32_t>& pages) { return pages.at(pages.size() / 2); }

class PageCheck : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageCheck, TellsSoundDamagedAndForeignFiles) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  GetParam().make(path);
  if (GetParam().damage) GetParam().damage(path);
  EXPECT_EQ(checkBtreeFile(path).code(), GetParam().expected);

  // The verdict does not hang on how the bytes are cut into pieces.
  const std::string bytes = testing::readFile(path);
  BtreePageCheck check(bytes.size());
  for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    check.feed({data + at, std::min(piece, bytes.size() - at)});
  }
  EXPECT_EQ(check.finish().code(), GetParam().expected);
}

using namespace testing;
const auto none = nullptr;
INSTANTIATE_TEST_SUITE_P(
    Records, PageCheck,
    ::testing::Values(
        PageCase{"Empty", [](auto p) { loadDatabase(p, {}); }, none, Code::kOk},
        PageCase{"ThreeLevels", records, none, Code::kOk},
        PageCase{
            "SmallPagesAndOverflowData",
            [](auto p) { loadDatabase(p, numberedItems(500, 524), "btree", "db_pagesize=512\n"); },
            none, Code::kOk},
        PageCase{"LargestPagesLongKeysAndLongData",
                 [](auto p) {
                   std::vector<StoredItem> items;
                   for (int i = 0; i < 200; ++i)
                     items.emplace_back(std::string(20000, 'k') + std::to_string(i + 100),
                                        std::string(70000, 'd'));
                   loadDatabase(p, items, "btree", "db_pagesize=65536\n");
                 },
                 none, Code::kOk},
        PageCase{"LongKeysInInternalPages",
                 [](auto p) {
                   std::vector<StoredItem> items;
                   for (int i = 0; i < 300; ++i)
                     items.emplace_back(std::string(2000, 'k') + std::to_string(i + 100), "d");
                   loadDatabase(p, items);
                 },
                 none, Code::kOk},
        PageCase{"ZeroedFirstLeaf", records, [](auto p) { zeroPage(p, leafChain(p).front()); },
                 Code::kDamaged},
        PageCase{"ZeroedMiddleLeaf", records, [](auto p) { zeroPage(p, middle(leafChain(p))); },
                 Code::kDamaged},
        PageCase{"ZeroedInternalPage", records,
                 [](auto p) { zeroPage(p, middle(pagesOfType(p, kInternalPageType))); },
                 Code::kDamaged},
        PageCase{"ZeroedOverflowPage", [](auto p) { loadDatabase(p, numberedItems(50, 9000)); },
                 [](auto p) { zeroPage(p, middle(pagesOfType(p, kOverflowPageType))); },
                 Code::kDamaged},
        PageCase{"LeafLinkedToItself", records,
                 [](auto p) {
                   const auto leaf = middle(leafChain(p));
                   setLinks(p, leaf, leaf, leaf);
                 },
                 Code::kDamaged},
        PageCase{"LeafLinkedBack", records,
                 [](auto p) {
                   const auto chain = leafChain(p);
                   setLinks(p, chain[2], chain[1], chain[0]);
                 },
                 Code::kDamaged},
        // Two pieces whose links agree: a walk would end at the cut.
        PageCase{"LeafChainCutInTwo", records,
                 [](auto p) {
                   const auto chain = leafChain(p);
                   const auto cut = chain.size() / 2;
                   setLinks(p, chain[cut], chain[cut - 1], 0);
                   setLinks(p, chain[cut + 1], 0, chain[cut + 2]);
                 },
                 Code::kDamaged},
        PageCase{"HalfItsPages", records,
                 [](auto p) {
                   std::filesystem::resize_file(p, std::filesystem::file_size(p) / 8192 * 4096);
                 },
                 Code::kDamaged},
        // What the library opens as no B-tree at all.
        PageCase{"CutInsideAPage", records,
                 [](auto p) { std::filesystem::resize_file(p, 3 * 4096 + 100); },
                 Code::kUnknownFormat},
        PageCase{"HashDatabase", [](auto p) { loadDatabase(p, numberedItems(10, 8), "hash"); },
                 none, Code::kUnknownFormat},
        PageCase{"RecnoDatabase", [](auto p) { loadDatabase(p, {}, "recno"); }, none,
                 Code::kUnknownFormat},
        PageCase{"AnotherVersion", records, [](auto p) { changeByte(p, 0, 16); },
                 Code::kUnknownFormat},
        PageCase{"PlainText", [](auto p) { writeFile(p, std::string(8192, 'x')); }, none,
                 Code::kUnknownFormat},
        PageCase{"EmptyFile", [](auto p) { writeFile(p, ""); }, none, Code::kUnknownFormat},
        PageCase{"Encrypted", [](auto p) { loadEncryptedDatabase(p, numberedItems(10, 8)); }, none,
                 Code::kEncrypted},
        // B-trees the library opens, of kinds the indexer never makes.
        PageCase{"DuplicateKeys",
                 [](auto p) { loadDatabase(p, numberedItems(10, 8), "btree", "duplicates=1\n"); },
                 none, Code::kForeign},
        PageCase{"SubDatabases",
                 [](auto p) { loadDatabase(p, numberedItems(10, 8), "btree", "database=sub\n"); },
                 none, Code::kForeign}),
    [](const auto& info) { return std::string(info.param.name); });

// Pages that carry the library's checksums: their items begin after the
// checksum, and a page whose bytes no longer give its checksum is damaged.
const std::string kChecksums = "chksum=1\n";
void checksummedRecords(const std::filesystem::path& p) {
  loadDatabase(p, numberedItems(3000, 524), "btree", kChecksums);
}
INSTANTIATE_TEST_SUITE_P(
    Checksums, PageCheck,
    ::testing::Values(PageCase{"ThreeLevels", checksummedRecords, none, Code::kOk},
                      PageCase{"SmallPagesAndOverflowData",
                               [](auto p) {
                                 loadDatabase(p, numberedItems(500, 524), "btree",
                                              kChecksums + "db_pagesize=512\n");
                               },
                               none, Code::kOk},
                      PageCase{"MadeOnABigEndianMachine",
                               [](auto p) {
                                 loadDatabase(p, numberedItems(3000, 524), "btree",
                                              kChecksums + "db_lorder=4321\n");
                               },
                               none, Code::kOk},
                      PageCase{"AnItemByteChanged", checksummedRecords,
                               [](auto p) { changeByte(p, middle(leafChain(p)), 4095); },
                               Code::kDamaged},
                      PageCase{"AMetadataByteChanged", checksummedRecords,
                               [](auto p) { changeByte(p, 0, 200); }, Code::kDamaged}),
    [](const auto& info) { return std::string(info.param.name); });

// Damage the page check lets through (keys out of order), or that reaches
// the walk without the check (a chain cut in two): the walk notices.
struct WalkCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> damage;
  Code expected;
  bool checked = true;  // whether the page check lets it through
  friend void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }
};

class Walk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(Walk, NoticesWhatTheLinksHide) {
  testing::ScratchDir dir;
  const auto path = dir / "file.db";
  records(path);
  GetParam().damage(path);
  ASSERT_EQ(checkBtreeFile(path).ok(), GetParam().checked);

  bdb::Database database;
  ASSERT_TRUE(database.open(path.c_str(), bdb::OpenMode::kReadOnly).ok());
  std::size_t visited = 0;
  ItemWalk walk(database);
  bdb::Item key;
  bdb::Item data;
  while (walk.next(key, data)) ++visited;
  EXPECT_EQ(walk.status().code(), GetParam().expected);
  if (GetParam().expected == Code::kOk) {
    EXPECT_EQ(visited, 3000u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, Walk,
    ::testing::Values(WalkCase{"Sound", [](auto) {}, Code::kOk},
                      // The chain ends at a middle leaf, which claims to be the last.
                      WalkCase{"ChainCutShort",
                               [](auto p) {
                                 const auto chain = leafChain(p);
                                 const auto cut = chain.size() / 2;
                                 setLinks(p, chain[cut], chain[cut - 1], 0);
                                 setLinks(p, chain[cut + 1], 0, chain[cut + 2]);
                               },
                               Code::kDamaged, false},
                      WalkCase{"KeysOutOfOrder",
                               [](auto p) { swapFirstTwoKeys(p, middle(leafChain(p))); },
                               Code::kDamaged}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
