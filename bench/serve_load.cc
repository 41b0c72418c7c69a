// serve-load PORT SECONDS CLIENTS [--lenti N] TARGET...
//
// A bounded load on a `catalogo servi` of this machine: CLIENTS threads,
// each with one keep-alive connection to 127.0.0.1:PORT, ask for the
// TARGETs (paths and queries, sent as written) in turn, one request after
// the other, for SECONDS seconds. With --lenti N, N slow clients besides,
// from 127.0.0.2 (another machine, as the server sees it): each sends a
// request head one header line every 2 seconds, and when the server cuts
// it off opens a new connection at once. Writes one line:
//   requests=N not_ok=K errors=E per_second=R p50_ms=A p90_ms=B p99_ms=C
//   max_ms=D slow=S cut_off=X
// with the latency of the requests answered 200, from sending the request
// to having the whole answer; not_ok counts the other answers (a 400 or 503
// the server chose), errors the requests that got no answer at all, and
// cut_off the slow connections the server ended. Exit status 1 when any
// request got no answer.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSlowSource = "127.0.0.2";
constexpr auto kTrickleInterval = std::chrono::seconds(2);
constexpr int kPollMilliseconds = 100;

struct ClientTally {
  std::vector<double> latenciesMs;
  std::uint64_t notOk = 0;
  std::uint64_t errors = 0;
};

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

// One client: `targets` in turn from `first` on, until `end`.
void askInTurn(int port, const std::vector<std::string>& targets, std::size_t first,
               Clock::time_point end, ClientTally& tally) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  client.set_url_encode(false);
  for (std::size_t i = first; Clock::now() < end; ++i) {
    const Clock::time_point sent = Clock::now();
    const httplib::Result result = client.Get(targets[i % targets.size()]);
    const Clock::time_point answered = Clock::now();
    if (!result) {
      ++tally.errors;
    } else if (result->status != 200) {
      ++tally.notOk;
    } else {
      tally.latenciesMs.push_back(
          std::chrono::duration<double, std::milli>(answered - sent).count());
    }
  }
}

// A connection from the slow clients' address that has sent the start of
// a request head; -1 when it can't be made (the server refused it).
int openSlow(int port, const std::string& head) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, kSlowSource, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
      ::send(socket, head.data(), head.size(), MSG_NOSIGNAL) < 0) {
    if (socket >= 0) ::close(socket);
    return -1;
  }
  return socket;
}

// `count` slow clients until `end`; the connections the server ended go
// into `cutOff`.
void trickle(int port, int count, Clock::time_point end, std::atomic<std::uint64_t>& cutOff) {
  const std::string head =
      "GET /?q=lemore HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
  std::vector<pollfd> slow(static_cast<std::size_t>(count), pollfd{-1, POLLIN, 0});
  Clock::time_point nextLine = Clock::now() + kTrickleInterval;
  for (std::uint64_t line = 0; Clock::now() < end;) {
    for (pollfd& client : slow) {
      if (client.fd < 0) client.fd = openSlow(port, head);
    }
    ::poll(slow.data(), slow.size(), kPollMilliseconds);
    for (pollfd& client : slow) {
      if (client.fd < 0 || client.revents == 0) continue;
      ::close(client.fd);  // an answer or a hang-up: either way it was cut off
      client.fd = -1;
      ++cutOff;
    }
    if (Clock::now() < nextLine) continue;
    const std::string header = "X-Lento: " + std::to_string(++line) + "\r\n";
    for (pollfd& client : slow) {
      if (client.fd >= 0) ::send(client.fd, header.data(), header.size(), MSG_NOSIGNAL);
    }
    nextLine += kTrickleInterval;
  }
  for (pollfd& client : slow) {
    if (client.fd >= 0) ::close(client.fd);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  int slowClients = 0;
  if (arguments.size() > 4 && arguments[3] == "--lenti") {
    slowClients = std::stoi(arguments[4]);
    arguments.erase(arguments.begin() + 3, arguments.begin() + 5);
  }
  if (arguments.size() < 4) {
    std::fprintf(stderr, "usage: serve-load PORT SECONDS CLIENTS [--lenti N] TARGET...\n");
    return 2;
  }
  const int port = std::stoi(arguments[0]);
  const auto seconds = std::chrono::seconds(std::stoi(arguments[1]));
  const int clients = std::stoi(arguments[2]);
  const std::vector<std::string> targets(arguments.begin() + 3, arguments.end());

  std::vector<ClientTally> tallies(static_cast<std::size_t>(clients));
  std::atomic<std::uint64_t> cutOff = 0;
  std::vector<std::thread> threads;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + seconds;
  if (slowClients > 0) threads.emplace_back([&] { trickle(port, slowClients, end, cutOff); });
  for (std::size_t c = 0; c < tallies.size(); ++c) {
    threads.emplace_back([&, c] { askInTurn(port, targets, c, end, tallies[c]); });
  }
  for (std::thread& thread : threads) thread.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::vector<double> all;
  std::uint64_t notOk = 0;
  std::uint64_t errors = 0;
  for (const ClientTally& tally : tallies) {
    all.insert(all.end(), tally.latenciesMs.begin(), tally.latenciesMs.end());
    notOk += tally.notOk;
    errors += tally.errors;
  }
  std::sort(all.begin(), all.end());
  std::printf(
      "requests=%zu not_ok=%llu errors=%llu per_second=%.1f p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
      "max_ms=%.1f slow=%d cut_off=%llu\n",
      all.size() + notOk, static_cast<unsigned long long>(notOk),
      static_cast<unsigned long long>(errors), static_cast<double>(all.size() + notOk) / elapsed,
      percentile(all, 0.50), percentile(all, 0.90), percentile(all, 0.99),
      all.empty() ? 0.0 : all.back(), slowClients, static_cast<unsigned long long>(cutOff.load()));
  return errors == 0 ? 0 : 1;
}
