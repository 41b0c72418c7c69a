// The hand-off between a phase's thread and its helper: blocks arrive in
// order and are reused, either side can end it early without the other
// waiting for ever, and what the helper throws reaches the phase.
#include "base/hand_off.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace indicizza {
namespace {

struct Block {
  std::vector<int> values;
};

// A block of which only so many can be made before memory runs out.
struct ScarceBlock : Block {
  static inline int canMake = 0;
  ScarceBlock() {
    if (canMake-- <= 0) throw std::bad_alloc();
  }
};

// The helper's side: `blocks` blocks of `perBlock` consecutive numbers.
template <typename B>
Status produce(HandOff<B>& handOff, int blocks, int perBlock, std::set<B*>& made) {
  int next = 0;
  for (int b = 0; b < blocks; ++b) {
    std::unique_ptr<B> block = handOff.emptyBlock();
    if (!block) return Status::failure(Status::Code::kInterrupted);
    made.insert(block.get());
    block->values.clear();
    for (int i = 0; i < perBlock; ++i) block->values.push_back(next++);
    if (!handOff.push(std::move(block))) return Status::failure(Status::Code::kInterrupted);
  }
  return Status::failure(Status::Code::kReadFailed);  // how the helper's half ended
}

TEST(HandOff, BlocksArriveInOrderAndAreReused) {
  constexpr std::size_t kDepth = 3;
  HandOff<Block> handOff(kDepth);
  std::set<Block*> made;
  HelperThread<Block> helper(handOff, [&] { return produce(handOff, 200, 50, made); });
  std::vector<int> received;
  while (std::unique_ptr<Block> block = handOff.pop()) {
    received.insert(received.end(), block->values.begin(), block->values.end());
    handOff.giveBack(std::move(block));
  }
  // Every block pushed before the end is taken, then the helper's status.
  EXPECT_EQ(helper.finish().code(), Status::Code::kReadFailed);
  ASSERT_EQ(received.size(), 200u * 50u);
  for (std::size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], static_cast<int>(i));
  EXPECT_LE(made.size(), kDepth);
}

// The phase stops after its first block (a fatal stop unwinding, say): the
// helper, waiting for an empty block or to push a full one, must end.
TEST(HandOff, APhaseThatStopsEarlyEndsItsHelper) {
  for (const bool keepBlock : {false, true}) {
    HandOff<Block> handOff(2);
    std::set<Block*> made;
    Status helperStatus;
    {
      HelperThread<Block> helper(handOff, [&] {
        helperStatus = produce(handOff, 1000, 10, made);
        return helperStatus;
      });
      std::unique_ptr<Block> first = handOff.pop();
      ASSERT_TRUE(first);
      if (!keepBlock) handOff.giveBack(std::move(first));
    }  // destroying the helper closes the hand-off and waits for the thread
    EXPECT_EQ(helperStatus.code(), Status::Code::kInterrupted);
  }
}

// Memory runs out for a block past the first: the producer waits for one
// given back, as when `depth` are made, instead of failing. None at all:
// bad_alloc, which the helper passes on to the phase.
TEST(HandOff, GoesOnWithTheBlocksItCouldMake) {
  for (const int canMake : {1, 2}) {
    ScarceBlock::canMake = canMake;
    HandOff<ScarceBlock> handOff(4);
    std::vector<std::unique_ptr<ScarceBlock>> held;
    for (int i = 0; i < canMake; ++i) held.push_back(handOff.emptyBlock());
    ScarceBlock* const givenBack = held.back().get();
    // Given back a moment after the producer asks for one more.
    std::thread consumer([&handOff, block = std::move(held.back())]() mutable {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      handOff.giveBack(std::move(block));
    });
    std::unique_ptr<ScarceBlock> next;
    EXPECT_NO_THROW(next = handOff.emptyBlock()) << canMake;
    consumer.join();
    EXPECT_EQ(next.get(), givenBack) << canMake;
  }
  ScarceBlock::canMake = 0;
  HandOff<ScarceBlock> none(4);
  EXPECT_THROW(static_cast<void>(none.emptyBlock()), std::bad_alloc);
}

TEST(HandOff, WhatTheHelperThrowsReachesThePhase) {
  HandOff<Block> handOff(2);
  HelperThread<Block> helper(handOff, []() -> Status { throw std::bad_alloc(); });
  EXPECT_FALSE(handOff.pop());  // closed when the helper ended
  EXPECT_THROW(static_cast<void>(helper.finish()), std::bad_alloc);
}

}  // namespace
}  // namespace indicizza
