// The first results in the order asked, of however many: each result read
// is offered, and only the `keep` first in the order are held at any time
// (a heap whose top is the last of them), so that a page in the order of a
// text field, which the index can't give, costs the memory of the page's
// end whatever the number of results.
#pragma once

#include <cstdint>
#include <queue>
#include <vector>

#include "search/evaluation/result_placing.h"

namespace indicizza {

class FirstPlaced {
 public:
  // Holds at most `keep` results, the first in `order` (PlacedOrder).
  FirstPlaced(const SortOrder& order, std::uint64_t keep)
      : order_(order), keep_(keep), held_(PlacedOrder(order)) {}

  // One more result: held when it is among the first `keep` so far.
  void offer(Placed placed) {
    if (keep_ == 0) return;
    if (held_.size() < keep_) {
      held_.push(std::move(placed));
    } else if (order_(placed, held_.top())) {
      held_.pop();
      held_.push(std::move(placed));
    }
  }

  // The results held, in order; the holder is empty after.
  std::vector<Placed> takeInOrder() {
    std::vector<Placed> placed;
    placed.reserve(held_.size());
    for (; !held_.empty(); held_.pop()) placed.push_back(held_.top());
    return {placed.rbegin(), placed.rend()};
  }

 private:
  PlacedOrder order_;
  std::uint64_t keep_;
  std::priority_queue<Placed, std::vector<Placed>, PlacedOrder> held_;
};

}  // namespace indicizza
