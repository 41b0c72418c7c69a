// Turns at the processor for the searches of `catalogo servi`, shared so
// that a costly search waits behind the other searches rather than ahead of
// them, and fairly between client addresses.
//
// At most `turns` searches run at once (about one per core); the others
// wait for a turn. A search's standing is the number of whole slices it has
// run, over all its turns. A free turn goes to the waiting search that has
// run the fewest slices, then whose address holds the fewest turns, then
// the one waiting longest. A search that holds a turn gives it up, at its
// next look (RunTurn::pass), to a waiting search that has run fewer slices
// than it has, and, once it has run a slice since its turn began, to one
// that has run as many and whose address holds fewer turns than its own;
// then it waits for a turn again. So a search shorter than a slice never
// gives its turn up, a long one gives it up to a newer one at once, searches
// alike share the turns a slice at a time and by address, and one address's
// costly searches run on what everyone's common work leaves; a search's
// deadline still ends it. A search starts with a standing of 0, or of 1
// while its address ran a long search (kLongSearchSlices) lately
// (kLongSearchMemory): so the first slice of each of an address's costly
// searches waits behind the fresh searches of the others too.
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

// The unit of a search's standing, and how long a search runs before it
// gives its turn to a search like it of an address holding fewer turns.
inline constexpr auto kTurnSlice = std::chrono::milliseconds(50);

// A search that runs this many slices is long; for kLongSearchMemory after
// it, a new search of its address starts as one that has run a slice.
inline constexpr std::uint64_t kLongSearchSlices = 4;
inline constexpr auto kLongSearchMemory = std::chrono::seconds(10);

class RunTurns {
 public:
  explicit RunTurns(std::size_t turns, std::chrono::milliseconds slice = kTurnSlice);
  RunTurns(const RunTurns&) = delete;
  RunTurns& operator=(const RunTurns&) = delete;

 private:
  friend class RunTurn;
  struct Waiter {
    const std::string* client;
    std::uint64_t slices;  // run before, its standing
    std::uint64_t order;
    bool granted = false;
  };

  // With the mutex held: waits until `client` has a turn for a search that
  // has run `slices`.
  void wait(std::unique_lock<std::mutex>& lock, const std::string& client, std::uint64_t slices);
  // With the mutex held: gives `client`'s turn back, and the free turns out.
  void release(const std::string& client);
  // With the mutex held: the standing a new search of `client` starts at.
  std::uint64_t startingSlices(const std::string& client,
                               std::chrono::steady_clock::time_point now);
  // With the mutex held: notes that a search of `client` ran `slices`.
  void noteEnd(const std::string& client, std::uint64_t slices,
               std::chrono::steady_clock::time_point now);
  void grant();
  std::size_t heldBy(const std::string& client) const;
  // Whether a waiting search comes before a running one of `client` that
  // has run `slices`, by standing alone or, `sliceOver`, by address too.
  bool owed(const std::string& client, std::uint64_t slices, bool sliceOver) const;

  const std::chrono::milliseconds slice_;
  std::mutex mutex_;
  std::condition_variable granted_;
  std::size_t free_;
  std::map<std::string, std::size_t, std::less<>> held_;
  std::vector<Waiter*> waiting_;  // in order of arrival
  // The addresses whose last long search ended lately, and when.
  std::map<std::string, std::chrono::steady_clock::time_point, std::less<>> longLately_;
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
  Clock::time_point since_;      // when the turn held now began
  Clock::duration ranBefore_{};  // over the turns given up before it
};

}  // namespace indicizza::catalogo
