// `catalogo servi` running in the background for a test, on a free port of
// a loopback address, with its log kept in a folder of its own (so that
// the catalogue folder can be checked for files it should never get).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace indicizza::testing {

// What an HTTP request got back.
struct HttpAnswer {
  int status = 0;  // 0: no answer
  std::string contentType;
  std::string disposition;  // Content-Disposition
  std::string body;
};

class ServeProcess {
 public:
  // Starts `catalogo servi --porta 0` in `directory`, with `arguments`
  // after (--indirizzo of an address that 127.0.0.1 reaches), and waits
  // until it says where it listens. Throws std::runtime_error (with its
  // log) when it ends or does not say so in time.
  explicit ServeProcess(const std::filesystem::path& directory,
                        const std::vector<std::string>& arguments = {});
  ~ServeProcess();  // a server still running is killed
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  pid_t pid() const { return pid_; }
  int port() const { return port_; }
  // "127.0.0.1:PORT", as a Host header names the server.
  std::string host() const;
  std::string url(const std::string& target) const;

  // `method` (GET, POST, DELETE...) of `target` (path and query, sent as
  // written) on a connection of its own to 127.0.0.1.
  HttpAnswer request(const std::string& target, const std::string& method = "GET") const;

  // What it wrote to standard error (and output) so far.
  std::string log() const;

  // Sends `signal` and waits for the process to end: its exit status, or
  // 128 + the signal that ended it; -1 when it had to be killed after
  // `seconds`.
  int stop(int signal, int seconds = 30);

 private:
  // The port the server says it listens on; throws when it ends or does
  // not say so in time.
  int waitUntilListening();

  ScratchDir logDir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace indicizza::testing
