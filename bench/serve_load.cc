// serve-load PORT SECONDS CLIENTS [--lenti N] [--costosi N TARGET] TARGET...
//
// A bounded load on a `catalogo servi` of this machine: CLIENTS threads,
// each with one keep-alive connection to 127.0.0.1:PORT, ask for the
// TARGETs (paths and queries, sent as written) in turn, one request after
// the other, for SECONDS seconds. With --lenti N, N slow clients besides,
// from 127.0.0.2 (another machine, as the server sees it): each sends a
// request head one header line every 2 seconds, and when the server cuts
// it off opens a new connection at once. With --costosi N TARGET, N clients
// besides from 127.0.0.3 (a third machine) ask for TARGET, a costly search,
// one request after the other. Writes one line:
//   requests=N not_ok=K errors=E per_second=R p50_ms=A p90_ms=B p99_ms=C
//   max_ms=D slow=S cut_off=X costly=M costly_requests=Q costly_not_ok=P
// with the latency of the requests of the CLIENTS answered 200, from
// sending the request to having the whole answer; not_ok counts their other
// answers (a 400 or 503 the server chose), errors their requests that got
// no answer at all, cut_off the slow connections the server ended, and the
// costly_ figures those of the costly clients. Exit status 1 when any
// request of the CLIENTS got no answer.
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
constexpr const char* kCostlySource = "127.0.0.3";
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

// A connection from `source` that has sent `head`, the start of a request
// or a whole one; -1 when it can't be made (the server refused it).
int openFrom(int port, const char* source, const std::string& head) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
      (!head.empty() && ::send(socket, head.data(), head.size(), MSG_NOSIGNAL) < 0)) {
    if (socket >= 0) ::close(socket);
    return -1;
  }
  return socket;
}

// The status of the answer to one request on `socket`, read whole (its body
// as long as its Content-Length says); 0 when none came whole.
int readAnswer(int socket) {
  std::string received;
  char chunk[16384];
  std::size_t headEnd = std::string::npos;
  std::size_t length = 0;
  for (;;) {
    if (headEnd == std::string::npos) {
      headEnd = received.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        const std::size_t at = received.find("Content-Length: ");
        length = at < headEnd ? std::stoul(received.substr(at + 16)) : 0;
      }
    }
    if (headEnd != std::string::npos && received.size() >= headEnd + 4 + length)
      return std::stoi(received.substr(9, 3));
    const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
    if (n <= 0) return 0;
    received.append(chunk, static_cast<std::size_t>(n));
  }
}

// One client from kCostlySource asking for `target` again and again on a
// keep-alive connection (a new one when the server closes it), until `end`.
void askFromCostlySource(int port, const std::string& target, Clock::time_point end,
                         ClientTally& tally) {
  const std::string request =
      "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
  int socket = -1;
  while (Clock::now() < end) {
    if (socket < 0) socket = openFrom(port, kCostlySource, "");
    if (socket < 0 || ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
      ++tally.errors;
      if (socket >= 0) ::close(socket);
      socket = -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
      continue;
    }
    const int status = readAnswer(socket);
    if (status == 200) {
      tally.latenciesMs.push_back(0);
    } else if (status != 0) {
      ++tally.notOk;
    } else {
      ++tally.errors;
      ::close(socket);
      socket = -1;
    }
  }
  if (socket >= 0) ::close(socket);
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
      if (client.fd < 0) client.fd = openFrom(port, kSlowSource, head);
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
  int costlyClients = 0;
  std::vector<std::string> costlyTargets;
  if (arguments.size() > 5 && arguments[3] == "--costosi") {
    costlyClients = std::stoi(arguments[4]);
    costlyTargets.push_back(arguments[5]);
    arguments.erase(arguments.begin() + 3, arguments.begin() + 6);
  }
  if (arguments.size() < 4) {
    std::fprintf(stderr,
                 "usage: serve-load PORT SECONDS CLIENTS [--lenti N] [--costosi N TARGET] "
                 "TARGET...\n");
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
  std::vector<ClientTally> costly(static_cast<std::size_t>(costlyClients));
  for (std::size_t c = 0; c < costly.size(); ++c) {
    threads.emplace_back(
        [&, c] { askFromCostlySource(port, costlyTargets.front(), end, costly[c]); });
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
  std::uint64_t costlyRequests = 0;
  std::uint64_t costlyNotOk = 0;
  for (const ClientTally& tally : costly) {
    costlyRequests += tally.latenciesMs.size() + tally.notOk + tally.errors;
    costlyNotOk += tally.notOk + tally.errors;
  }
  std::printf(
      "requests=%zu not_ok=%llu errors=%llu per_second=%.1f p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
      "max_ms=%.1f slow=%d cut_off=%llu costly=%d costly_requests=%llu costly_not_ok=%llu\n",
      all.size() + notOk, static_cast<unsigned long long>(notOk),
      static_cast<unsigned long long>(errors), static_cast<double>(all.size() + notOk) / elapsed,
      percentile(all, 0.50), percentile(all, 0.90), percentile(all, 0.99),
      all.empty() ? 0.0 : all.back(), slowClients, static_cast<unsigned long long>(cutOff.load()),
      costlyClients, static_cast<unsigned long long>(costlyRequests),
      static_cast<unsigned long long>(costlyNotOk));
  return errors == 0 ? 0 : 1;
}
