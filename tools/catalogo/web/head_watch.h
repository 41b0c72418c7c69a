// The deadline for a request head. An event-driven server spends nothing on
// a connection that sends its request a byte at a time, but the connection
// still holds one of the server's places, and the HTTP library's own
// timeout counts only silence: a client that sends a header line every few
// seconds would hold its place for ever. The watch cuts off (shuts down the
// socket of) each connection that has not sent a whole request head within
// `allowed` of being opened, or of its previous answer (a keep-alive
// connection waiting for its next request is held to the same deadline).
//
// Connections are named by a key of the caller's (the library's connection
// handle) and their socket. A socket is only ever shut down between
// opened() and closed() for its key, under the watch's lock, so the caller
// must call closed() before it closes the socket; then a socket number
// reused by a later connection is never touched.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace indicizza::catalogo {

// How often the watch looks for connections past their deadline: a
// connection is cut off at most this long after it.
inline constexpr auto kHeadWatchInterval = std::chrono::milliseconds(250);

class HeadWatch {
 public:
  explicit HeadWatch(std::chrono::milliseconds allowed);
  // Stops the watching thread.
  ~HeadWatch();
  HeadWatch(const HeadWatch&) = delete;
  HeadWatch& operator=(const HeadWatch&) = delete;

  // A connection was opened on `socket`: its head is awaited from now.
  void opened(const void* connection, int socket);
  // Its request head has come whole: no deadline until its answer.
  void headReceived(const void* connection);
  // Its answer is done: the next request's head is awaited from now.
  void answered(const void* connection);
  // It is about to be closed: forgotten.
  void closed(const void* connection);

 private:
  using Clock = std::chrono::steady_clock;
  struct Watched {
    int socket = -1;
    bool awaitingHead = true;
    bool cut = false;
    Clock::time_point since;
  };
  void watch();
  void cutOverdue();

  const std::chrono::milliseconds allowed_;
  std::mutex mutex_;
  std::condition_variable ending_;
  bool end_ = false;
  std::unordered_map<const void*, Watched> connections_;
  std::thread thread_;  // last: started once the rest is made
};

}  // namespace indicizza::catalogo
