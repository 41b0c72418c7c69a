#include "search/evaluation/record_sets.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <queue>

namespace indicizza {
namespace {

// A union whose numbers span at most this many values is made in a bitmap
// of the span (2 MiB at most), which record numbers of six digits fit.
constexpr std::uint64_t kBitmapUnionSpan = std::uint64_t{1} << 24;

}  // namespace

SharedNumbers unionOf(const std::vector<SharedNumbers>& lists) {
  if (lists.size() == 1) return lists.front();
  std::int64_t low = std::numeric_limits<std::int64_t>::max();
  std::int64_t high = std::numeric_limits<std::int64_t>::min();
  for (const SharedNumbers& list : lists) {
    if (list->empty()) continue;
    low = std::min<std::int64_t>(low, list->front());
    high = std::max<std::int64_t>(high, list->back());
  }
  auto all = std::make_shared<Numbers>();
  if (low > high) return all;
  if (static_cast<std::uint64_t>(high - low) < kBitmapUnionSpan) {
    std::vector<std::uint64_t> bits(static_cast<std::size_t>(high - low) / kWordBits + 1, 0);
    for (const SharedNumbers& list : lists) {
      for (const RecordNumber number : *list) {
        const auto at = static_cast<std::uint64_t>(number - low);
        bits[at / kWordBits] |= std::uint64_t{1} << (at % kWordBits);
      }
    }
    for (std::size_t w = 0; w < bits.size(); ++w) {
      for (std::uint64_t word = bits[w]; word != 0; word &= word - 1) {
        all->push_back(static_cast<RecordNumber>(low + static_cast<std::int64_t>(w * kWordBits) +
                                                 std::countr_zero(word)));
      }
    }
    return all;
  }
  using Head = std::pair<RecordNumber, std::size_t>;  // (number, list), lowest on top
  std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
  std::vector<std::size_t> next(lists.size(), 0);
  for (std::size_t l = 0; l < lists.size(); ++l) {
    if (!lists[l]->empty()) heads.emplace(lists[l]->front(), l);
  }
  while (!heads.empty()) {
    const auto [number, l] = heads.top();
    heads.pop();
    if (all->empty() || all->back() != number) all->push_back(number);
    if (++next[l] < lists[l]->size()) heads.emplace((*lists[l])[next[l]], l);
  }
  return all;
}

SharedNumbers intersectionOf(const SharedNumbers& a, const SharedNumbers& b) {
  auto both = std::make_shared<Numbers>();
  std::set_intersection(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*both));
  return both;
}

SharedNumbers differenceOf(const SharedNumbers& a, const SharedNumbers& b) {
  auto rest = std::make_shared<Numbers>();
  std::set_difference(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*rest));
  return rest;
}
}  // namespace indicizza
