// The proof a run keeps on opere.idb, read back as it was written, and no
// proof read from a file that has none or another program's.
#include "index_store/index_proof.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include "support/scratch_dir.h"

namespace indicizza {
namespace {

TEST(IndexProof, ReadsBackWhatWasKeptAndNothingElse) {
  testing::ScratchDir dir;
  const auto path = dir / "opere.idb";
  testing::writeFile(path, "x");
  EXPECT_EQ(readIndexProof(path), std::nullopt);
  const IndexProof proof{{1, 2, 3, 4, 5}, {6, 7, 8, -9, 10}, 1'000'000, 0x1'0000'0001, 42};
  if (!writeIndexProof(path, proof)) GTEST_SKIP() << "no extended attributes here";
  EXPECT_EQ(readIndexProof(path), proof);
  EXPECT_EQ(readIndexProof(dir / "missing"), std::nullopt);
  // Another version of the layout, or a shorter value, proves nothing.
  const std::uint8_t other[kIndexProofBytes] = {2};
  ASSERT_EQ(setxattr(path.c_str(), kIndexProofAttribute, other, sizeof other, 0), 0);
  EXPECT_EQ(readIndexProof(path), std::nullopt);
  ASSERT_EQ(setxattr(path.c_str(), kIndexProofAttribute, other, 8, 0), 0);
  EXPECT_EQ(readIndexProof(path), std::nullopt);
}

}  // namespace
}  // namespace indicizza
