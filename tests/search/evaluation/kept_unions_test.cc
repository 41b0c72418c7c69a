// The unions a RecordListCache keeps for the next searches: each given only
// for lists holding the very numbers it was made of.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/evaluation/record_list_cache.h"
#include "search/evaluation/record_sets.h"

namespace indicizza {
namespace {

// `count` numbers from `first`, `step` apart, with `middle` in place of
// the one halfway when it is not 0.
SharedNumbers numbersOf(RecordNumber first, RecordNumber step, std::size_t count,
                        RecordNumber middle = 0) {
  auto numbers = std::make_shared<Numbers>();
  for (std::size_t i = 0; i < count; ++i)
    numbers->push_back(first + static_cast<RecordNumber>(i) * step);
  if (middle != 0) (*numbers)[count / 2] = middle;
  return numbers;
}

constexpr std::size_t kLong = RecordListCache::kShortestKept;

struct UnionCase {
  const char* name;
  std::vector<SharedNumbers> first;  // asked first, its union kept
  std::vector<SharedNumbers> then;   // asked next: its own union is due
};

class KeptUnions : public ::testing::TestWithParam<UnionCase> {};

TEST_P(KeptUnions, GiveEachListsTheirOwnUnion) {
  RecordListCache cache(std::size_t{64} << 20);
  cache.unionOf(GetParam().first);
  const SharedNumbers given = cache.unionOf(GetParam().then);
  EXPECT_EQ(*given, *unionOf(GetParam().then));
}

const SharedNumbers kOdd = numbersOf(1, 2, kLong);
const SharedNumbers kEven = numbersOf(2, 2, kLong);
const SharedNumbers kShort = numbersOf(3, 3, 10);

INSTANTIATE_TEST_SUITE_P(
    RecordListCache, KeptUnions,
    ::testing::Values(
        UnionCase{"TheSameLists", {kOdd, kEven}, {kOdd, kEven}},
        UnionCase{"EqualCopies", {kOdd, kShort}, {numbersOf(1, 2, kLong), numbersOf(3, 3, 10)}},
        // Lengths, first and last numbers alike: only the numbers tell.
        UnionCase{"AnotherMiddle", {kOdd, kShort}, {numbersOf(1, 2, kLong, 4096), kShort}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
