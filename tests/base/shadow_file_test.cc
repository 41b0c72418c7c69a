// The working copy of a B-tree file of several stretches of the copy.
#include "base/shadow_file.h"

#include <gtest/gtest.h>

#include <string>

#include "base/btree_page_file.h"
#include "support/btree_damage.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

// Every stretch comes out byte for byte, and a page damaged past the first
// one is still found, the copy then removed.
TEST(LargeCopy, CopiesEveryStretchAndChecksIt) {
  testing::ScratchDir dir;
  const std::filesystem::path file = dir / "opere.ddb";
  // 40 items of 1 MiB on overflow pages, written as the indexer writes
  // pages: the library's own load takes seconds for as much.
  BtreePageFile pages;
  bdb::Database none;
  ASSERT_TRUE(createPageFile(file, pages).ok());
  for (int i = 0; i < 40; ++i) {
    bdb::BulkPairs pair(std::size_t{2} << 20);
    const std::string key = testing::recordKey(i);
    const std::string data(std::size_t{1} << 20, static_cast<char>('a' + i));
    pair.add({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()},
             {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
    ASSERT_TRUE(putPairs(pages, none, pair).ok());
  }
  ASSERT_TRUE(closeWorkingCopy(pages, none).ok());

  ShadowFile sound;
  ASSERT_TRUE(ShadowFile::copyOf(file, sound).ok());
  EXPECT_TRUE(testing::readFile(sound.path()) == testing::readFile(file));
  sound = ShadowFile();
  testing::zeroPage(file, testing::pagesOfType(file, testing::kOverflowPageType).back());
  ShadowFile damaged;
  EXPECT_EQ(ShadowFile::copyOf(file, damaged).code(), Status::Code::kDamaged);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace indicizza
