#include "catalogo/web/run_turns.h"

#include <algorithm>

namespace indicizza::catalogo {

RunTurns::RunTurns(std::size_t turns, std::chrono::milliseconds slice)
    : slice_(slice), free_(std::max<std::size_t>(turns, 1)) {}

std::size_t RunTurns::heldBy(const std::string& client) const {
  const auto found = held_.find(client);
  return found == held_.end() ? 0 : found->second;
}

bool RunTurns::owed(const std::string& client, std::uint64_t slices, bool sliceOver) const {
  const std::size_t mine = heldBy(client);
  return std::any_of(waiting_.begin(), waiting_.end(), [&](const Waiter* waiter) {
    if (waiter->slices < slices) return true;
    return sliceOver && waiter->slices == slices && heldBy(*waiter->client) < mine;
  });
}

void RunTurns::grant() {
  bool any = false;
  while (free_ > 0 && !waiting_.empty()) {
    const auto best =
        std::min_element(waiting_.begin(), waiting_.end(), [&](const Waiter* a, const Waiter* b) {
          if (a->slices != b->slices) return a->slices < b->slices;
          const std::size_t heldA = heldBy(*a->client);
          const std::size_t heldB = heldBy(*b->client);
          return heldA != heldB ? heldA < heldB : a->order < b->order;
        });
    (*best)->granted = true;
    ++held_[*(*best)->client];
    --free_;
    waiting_.erase(best);
    any = true;
  }
  if (any) granted_.notify_all();
}

void RunTurns::wait(std::unique_lock<std::mutex>& lock, const std::string& client,
                    std::uint64_t slices) {
  Waiter me{&client, slices, arrivals_++};
  waiting_.push_back(&me);
  grant();
  granted_.wait(lock, [&] { return me.granted; });
}

void RunTurns::release(const std::string& client) {
  const auto found = held_.find(client);
  if (--found->second == 0) held_.erase(found);
  ++free_;
  grant();
}

std::uint64_t RunTurns::startingSlices(const std::string& client,
                                       std::chrono::steady_clock::time_point now) {
  const auto found = longLately_.find(client);
  if (found == longLately_.end()) return 0;
  if (now - found->second < kLongSearchMemory) return 1;
  longLately_.erase(found);
  return 0;
}

void RunTurns::noteEnd(const std::string& client, std::uint64_t slices,
                       std::chrono::steady_clock::time_point now) {
  if (slices < kLongSearchSlices) return;
  std::erase_if(longLately_,
                [&](const auto& entry) { return now - entry.second >= kLongSearchMemory; });
  longLately_[client] = now;
}

RunTurn::RunTurn(RunTurns& turns, std::string client) : turns_(turns), client_(std::move(client)) {
  std::unique_lock lock(turns_.mutex_);
  const std::uint64_t slices = turns_.startingSlices(client_, Clock::now());
  ranBefore_ = slices * turns_.slice_;
  turns_.wait(lock, client_, slices);
  since_ = Clock::now();
}

RunTurn::~RunTurn() {
  const Clock::time_point now = Clock::now();
  const std::lock_guard lock(turns_.mutex_);
  turns_.noteEnd(client_, (ranBefore_ + (now - since_)) / turns_.slice_, now);
  turns_.release(client_);
}

void RunTurn::pass() {
  const Clock::time_point now = Clock::now();
  const bool sliceOver = now - since_ >= turns_.slice_;
  const std::uint64_t slices = (ranBefore_ + (now - since_)) / turns_.slice_;
  if (!sliceOver && slices == 0) return;
  std::unique_lock lock(turns_.mutex_);
  if (!turns_.owed(client_, slices, sliceOver)) return;
  ranBefore_ += now - since_;
  turns_.release(client_);
  turns_.wait(lock, client_, slices);
  since_ = Clock::now();
}

}  // namespace indicizza::catalogo
