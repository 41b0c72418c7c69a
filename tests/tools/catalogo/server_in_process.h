// A SearchServer of this process on a free port of 127.0.0.1, serving the
// current folder until the object goes, for the tests that hold the server
// to its limits.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "catalogo/web/search_server.h"

namespace indicizza::testing {

// Generous bounds: the sanitizer build is slow, and the machine busy.
inline constexpr std::chrono::seconds kPromptly(5);

// Not copyable: the server runs on a thread of its own until the destructor
// stops it.
class ServerInProcess {
 public:
  explicit ServerInProcess(const catalogo::ServerSettings& settings);
  ~ServerInProcess();
  ServerInProcess(const ServerInProcess&) = delete;
  ServerInProcess& operator=(const ServerInProcess&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  // The server's log lines so far, each ended by a line feed.
  std::string log();

  // The whole answer to a GET of `target` on a connection of its own from
  // `source`, or "" when none came within kPromptly.
  std::string get(const std::string& target, const std::string& source = "127.0.0.1") const;

 private:
  void keep(const std::string& line);

  std::mutex mutex_;
  std::string log_;
  catalogo::SearchServer server_;
  int port_ = 0;
  std::thread listener_;
};

// The status of the first answer in `answer`, or 0.
int statusOf(const std::string& answer);

}  // namespace indicizza::testing
