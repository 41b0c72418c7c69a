// Turns at the processor for the searches of `catalogo servi`, shared fairly
// between client addresses: a costly search of one address waits behind
// the other addresses' searches, rather than ahead of them.
//
// At most `turns` searches run at once (about one per core); the others
// wait for a turn, and a free turn goes to the waiting search whose address
// holds the fewest turns (then the one waiting longest). A search that has
// run for a slice gives its turn up, at its next look (RunTurn::pass), when
// a search of an address holding fewer turns than its own waits, and waits
// for a turn again: a quick search never gives its turn up, and searches of
// several addresses share the turns a slice at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace indicizza::catalogo {

// How long a search runs before it gives its turn to a search of an
// address holding fewer turns; far above what a common search takes.
inline constexpr auto kTurnSlice = std::chrono::milliseconds(50);

class RunTurns {
 public:
  explicit RunTurns(std::size_t turns, std::chrono::milliseconds slice = kTurnSlice);
  RunTurns(const RunTurns&) = delete;
  RunTurns& operator=(const RunTurns&) = delete;

 private:
  friend class RunTurn;
  struct Waiter {
    const std::string* client;
    std::uint64_t order;
    bool granted = false;
  };

  // With the mutex held: waits until `client` has a turn.
  void wait(std::unique_lock<std::mutex>& lock, const std::string& client);
  // With the mutex held: gives `client`'s turn back, and the free turns out.
  void release(const std::string& client);
  void grant();
  std::size_t heldBy(const std::string& client) const;
  // Whether a search of an address holding fewer turns than `client` waits.
  bool owed(const std::string& client) const;

  const std::chrono::milliseconds slice_;
  std::mutex mutex_;
  std::condition_variable granted_;
  std::size_t free_;
  std::map<std::string, std::size_t, std::less<>> held_;
  std::vector<Waiter*> waiting_;  // in order of arrival
  std::uint64_t arrivals_ = 0;
};

// The turn of one search of the address `client`: waited for when made,
// given back when destroyed. Used by one thread; not copyable.
class RunTurn {
 public:
  RunTurn(RunTurns& turns, std::string client);
  ~RunTurn();
  RunTurn(const RunTurn&) = delete;
  RunTurn& operator=(const RunTurn&) = delete;

  // Called by the search now and then: once it has run for a slice, gives
  // the turn to a search that is owed it, and waits for another.
  void pass();

 private:
  using Clock = std::chrono::steady_clock;
  RunTurns& turns_;
  const std::string client_;
  Clock::time_point since_;
};

}  // namespace indicizza::catalogo
