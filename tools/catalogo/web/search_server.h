// The HTTP service of `catalogo servi` over the catalogue of the current
// folder (the addresses and what they answer: site_routes.h), built to face
// clients that don't play fair.
//
// One thread of the HTTP library (libmicrohttpd, on epoll) watches every
// connection: an idle or slow connection costs it no thread, only one of
// the places below and at most kConnectionMemoryBytes. A request that needs
// the catalogue suspends its connection and goes to a queue of bounded
// length served by a few worker threads; its answer resumes the connection.
// The watching thread never reads a file. The limits, each of them in
// ServerSettings:
//   - places: maxConnections in all (more wait in the listen queue) and
//     maxConnectionsPerAddress from one client address (more are closed at
//     once);
//   - a request head must come whole within requestHeadDeadline of the
//     connection's opening or of its previous answer, or the connection is
//     cut off (head_watch.h); a connection silent for kIdleSeconds is closed;
//   - a head is at most kMaxHeaderLines lines and kMaxHeadBytes bytes (431);
//     a GET or HEAD with a body gets 400 and the connection is closed; no
//     Range is honoured (every answer is whole);
//   - on a loopback address, only requests for this machine's names
//     (host_check.h), others 421;
//   - waitingSearches searches wait for the workers, the next gets 503 at
//     once, and searchThreads of them run at a time; work is shared between
//     client addresses (work_queue.h, run_turns.h), so one address's costly
//     searches wait behind the others' work; each search gives up when
//     searchDeadline has passed since it was queued (503) or its client has
//     gone (search_stop.h), and within searchLimits (400).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "catalogo/web/listen_address.h"
#include "search/search.h"

namespace indicizza::catalogo {

inline constexpr auto kSearchDeadline = std::chrono::milliseconds(2000);
// A download's deadline: its search and the sending of every result (the
// client reads as fast as it likes within it). 100,000 results of the
// million-record catalogue take a few seconds.
inline constexpr auto kDownloadDeadline = std::chrono::milliseconds(30'000);
// The workers: searches are work for the processor (the files are in the
// page cache), so about one per core; more would only share the cores and
// hold more memory at once (a search over its list budget holds up to
// about 100 MB until it gives up).
inline constexpr std::size_t kSearchThreads = 2;
inline constexpr std::size_t kWaitingSearches = 32;
inline constexpr unsigned kMaxConnections = 512;
inline constexpr unsigned kMaxConnectionsPerAddress = 64;
inline constexpr auto kRequestHeadDeadline = std::chrono::milliseconds(10'000);
inline constexpr unsigned kIdleSeconds = 10;
inline constexpr std::size_t kConnectionMemoryBytes = 32 * 1024;
// How long a stop waits for the answers under way to be sent, once every
// search has ended.
inline constexpr auto kStopGrace = std::chrono::seconds(2);

// The limits of a SearchServer; the defaults are those of `catalogo servi`.
struct ServerSettings {
  std::chrono::milliseconds searchDeadline = kSearchDeadline;
  std::chrono::milliseconds downloadDeadline = kDownloadDeadline;
  std::size_t searchThreads = kSearchThreads;
  std::size_t waitingSearches = kWaitingSearches;
  unsigned maxConnections = kMaxConnections;
  unsigned maxConnectionsPerAddress = kMaxConnectionsPerAddress;
  std::chrono::milliseconds requestHeadDeadline = kRequestHeadDeadline;
  SearchLimits searchLimits;
};

class SearchServer {
 public:
  // `log` gets one line per event worth a look (a database that can't be
  // read, the files changing, a search past its deadline, too many
  // searches waiting, a failure while answering); it may be called from
  // several threads at once. Starts the worker threads, which inherit the
  // caller's signal mask.
  SearchServer(std::function<void(const std::string&)> log, const ServerSettings& settings);
  // Must not run while listen() does.
  ~SearchServer();
  SearchServer(const SearchServer&) = delete;
  SearchServer& operator=(const SearchServer&) = delete;

  // Opens a handle pair once, to tell at the start whether the databases
  // can be read: the message of the failure, or nothing.
  std::optional<std::string> checkDatabases();

  // Binds `address`:`port` (0: a free port the system picks) and listens
  // there. Returns the port bound, or nothing (errno tells why). Once.
  std::optional<int> bind(const ListenAddress& address, int port);

  // Serves, after bind(), until stop(): then takes no more connections,
  // lets the searches under way end and their answers go (answering 503 to
  // new requests that need the catalogue), waits up to kStopGrace for the
  // other answers under way, and returns true. False at once when the
  // service could not start.
  bool listen();

  // Asks listen() to stop; may come first, and from another thread.
  void stop();

 private:
  struct Service;
  std::unique_ptr<Service> service_;
};

}  // namespace indicizza::catalogo
