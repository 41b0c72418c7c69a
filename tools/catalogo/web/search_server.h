// The HTTP service of `catalogo servi`, over the catalogue of the current
// folder:
//   GET /                      the search form
//   GET /?q=QUERY&da=N         a page of 20 results from the N-th on
//   GET /record/N              record N, field by field, with its index terms
//   GET /api/cerca?q=&da=&limite=   one page as JSON (jsonPage), for scripts
//   GET /stile.css             the stylesheet
// Anything else is a 4xx page (HEAD is answered as GET; other methods 405).
// A query longer than kMaxQueryBytes, a `da` past kLastBrowsableResult or
// a `limite` above kMaxApiLimit is refused with 400. A database that can't
// be opened or read gives a 503 page and a log line; nothing is written.
//
// Requests are served by a fixed pool of worker threads, each search on a
// pair of read-only handles of its own (database_pool.h), which follows the
// files when the indexer replaces them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace indicizza::catalogo {

inline constexpr std::size_t kMaxQueryBytes = 500;
inline constexpr std::uint64_t kMaxApiLimit = 100;
inline constexpr std::size_t kWorkerThreads = 16;

class SearchServer {
 public:
  // `log` gets one line per event worth a look (a database that can't be
  // read, the files changing, a failure while answering); it may be called
  // from several threads at once.
  explicit SearchServer(std::function<void(const std::string&)> log);
  ~SearchServer();
  SearchServer(const SearchServer&) = delete;
  SearchServer& operator=(const SearchServer&) = delete;

  // Opens a handle pair once, to tell at the start whether the databases
  // can be read: the message of the failure, or nothing.
  std::optional<std::string> checkDatabases();

  // Binds `address`:`port` (0: a free port the system picks). Returns the
  // port bound, or nothing (errno tells why).
  std::optional<int> bind(const std::string& address, int port);

  // Serves requests until stop(); false when it could not listen.
  bool listen();

  // Stops taking connections; listen() returns once the requests under way
  // are answered. Returns false, doing nothing, while listen() has not yet
  // started (call it again a little later); a later call does nothing.
  // Called from one thread other than listen()'s.
  bool stop();

 private:
  struct Service;
  std::unique_ptr<Service> service_;
};

}  // namespace indicizza::catalogo
