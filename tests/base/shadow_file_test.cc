// The working copy of a B-tree file larger than one stretch of the copy:
// the copy comes out byte for byte, and a damaged page past the first
// stretch is still found by the check, nothing left behind.
#include "base/shadow_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/btree_page_file.h"
#include "support/btree_damage.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct CopyCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> damage;
  Status::Code copied;
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class LargeCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(LargeCopy, CopiesEveryStretchAndChecksIt) {
  testing::ScratchDir dir;
  const std::filesystem::path file = dir / "opere.ddb";
  // 40 items of 1 MiB, on overflow pages: a few stretches, written as the
  // indexer writes pages (the library's load takes seconds for as much).
  BtreePageFile pages;
  bdb::Database none;
  ASSERT_TRUE(createPageFile(file, pages).ok());
  for (int i = 0; i < 40; ++i) {
    bdb::BulkPairs pair(std::size_t{2} << 20);
    const std::string key = testing::recordKey(i);
    const std::string data(std::size_t{1} << 20, static_cast<char>('a' + i));
    ASSERT_TRUE(pair.add({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()},
                         {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}));
    ASSERT_TRUE(putPairs(pages, none, pair).ok());
  }
  ASSERT_TRUE(closeWorkingCopy(pages, none).ok());
  if (GetParam().damage) GetParam().damage(file);

  ShadowFile shadow;
  EXPECT_EQ(ShadowFile::copyOf(file, shadow).code(), GetParam().copied);
  if (GetParam().copied == Status::Code::kOk) {
    EXPECT_TRUE(testing::readFile(shadow.path()) == testing::readFile(file));
  } else {
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LargeCopy,
    ::testing::Values(CopyCase{"Sound", {}, Status::Code::kOk},
                      CopyCase{"LastOverflowPageZeroed",
                               [](const std::filesystem::path& file) {
                                 testing::zeroPage(
                                     file,
                                     testing::pagesOfType(file, testing::kOverflowPageType).back());
                               },
                               Status::Code::kDamaged}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
