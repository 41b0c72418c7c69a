// When a search of `catalogo servi` gives up (SearchOptions::stop): once
// its deadline has passed, or once its client has gone, so that nobody
// waits for an answer and no worker reads for a client that left.
#pragma once

#include <chrono>
#include <functional>

namespace indicizza::catalogo {

// Whether the peer of connected socket `socket` has closed its side of the
// connection, or the connection has failed; asked without waiting. A client
// that shuts down only its sending side after its request is taken as gone
// too: the two can't be told apart without writing to it.
bool peerHasLeft(int socket);

class SearchStop {
 public:
  using Clock = std::chrono::steady_clock;

  // A search that may run until `deadline` for the client on `clientSocket`
  // (-1: no client to watch). The socket must stay open while the search
  // runs. `meanwhile`, when set, is called first at each look: where the
  // search may let others run (see run_turns.h).
  SearchStop(Clock::time_point deadline, int clientSocket, std::function<void()> meanwhile = {})
      : deadline_(deadline), clientSocket_(clientSocket), meanwhile_(std::move(meanwhile)) {}

  // True once the search should give up; then the same from then on, and
  // deadlinePassed() says whether the deadline is why. Called by one thread
  // at a time.
  bool operator()();

  bool deadlinePassed() const { return deadlinePassed_; }

 private:
  Clock::time_point deadline_;
  int clientSocket_;
  std::function<void()> meanwhile_;
  bool deadlinePassed_ = false;
  bool clientLeft_ = false;
};

}  // namespace indicizza::catalogo
