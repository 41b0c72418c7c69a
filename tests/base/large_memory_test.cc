// The growing array keeps every element as it grows: from the small first
// block to mapped ones, and from one mapped block to the next, which the
// kernel moves rather than copies.
#include "base/large_memory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace indicizza {
namespace {

TEST(GrowingArray, KeepsEveryElementAcrossEachGrowth) {
  // Past 2 MiB the blocks are mapped; 16 MiB of elements moves them thrice.
  constexpr std::size_t kElements = (std::size_t{16} << 20) / sizeof(std::uint32_t);
  GrowingArray<std::uint32_t> array;
  for (std::uint32_t i = 0; i < kElements; ++i) array.push_back(i * 7);
  array.resize(kElements + 3);
  array[kElements + 2] = 5;
  GrowingArray<std::uint32_t> moved(std::move(array));
  ASSERT_EQ(moved.size(), kElements + 3);
  std::size_t wrong = 0;
  for (std::uint32_t i = 0; i < kElements; ++i) wrong += moved[i] != i * 7;
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(moved.back(), 5u);
  EXPECT_TRUE(array.empty());
}

}  // namespace
}  // namespace indicizza
