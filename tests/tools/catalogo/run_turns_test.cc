#include "catalogo/web/run_turns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace indicizza::catalogo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One turn, held by a search of one address that has run for many slices;
// then a short search of another address asks for one. What runs is
// written down, a letter per slice: the costly search gives its turn up,
// and the short one runs to its end without giving it back, though the
// costly search's address then holds fewer turns than its own.
TEST(RunTurns, ACostlySearchWaitsBehindAQuickOneToItsEnd) {
  RunTurns turns(1, milliseconds(1));
  std::mutex mutex;
  std::string ran;
  const auto note = [&](char letter) {
    const std::lock_guard lock(mutex);
    ran += letter;
  };
  std::atomic<bool> longIsCostly = false;
  std::atomic<bool> shortDone = false;
  std::thread longSearch([&] {
    RunTurn turn(turns, "10.0.0.1");
    const Clock::time_point start = Clock::now();
    // Bounded, should the short search never get a turn.
    while (!shortDone && Clock::now() - start < std::chrono::seconds(10)) {
      std::this_thread::sleep_for(milliseconds(2));
      if (Clock::now() - start > milliseconds(300)) longIsCostly = true;
      turn.pass();
      note('L');
    }
  });
  while (!longIsCostly) std::this_thread::sleep_for(milliseconds(5));
  std::thread shortSearch([&] {
    RunTurn turn(turns, "10.0.0.2");
    for (int i = 0; i < 5; ++i) {
      note('S');
      std::this_thread::sleep_for(milliseconds(2));
      turn.pass();
    }
    note('s');
    shortDone = true;
  });
  shortSearch.join();
  longSearch.join();
  const std::size_t first = ran.find('S');
  ASSERT_NE(first, std::string::npos) << "the short search never ran";
  EXPECT_EQ(ran.substr(first, 6), "SSSSSs") << ran;
}

// An address whose search just ran long: its next search waits behind a
// fresh one of another address that came after it.
TEST(RunTurns, AnAddressThatRanLongComesAfterFreshSearches) {
  RunTurns turns(1, milliseconds(1));
  {
    RunTurn costly(turns, "10.0.0.1");
    std::this_thread::sleep_for(milliseconds(4 * kLongSearchSlices));
  }
  std::mutex mutex;
  std::string ran;
  const auto search = [&](std::string client, char letter) {
    return std::thread([&turns, &mutex, &ran, client, letter] {
      RunTurn turn(turns, client);
      const std::lock_guard lock(mutex);
      ran += letter;
    });
  };
  std::optional<RunTurn> holder(std::in_place, turns, "10.0.0.3");
  std::thread again = search("10.0.0.1", 'A');
  std::this_thread::sleep_for(milliseconds(50));
  std::thread fresh = search("10.0.0.2", 'F');
  std::this_thread::sleep_for(milliseconds(50));
  holder.reset();
  again.join();
  fresh.join();
  EXPECT_EQ(ran, "FA");
}

}  // namespace
}  // namespace indicizza::catalogo
