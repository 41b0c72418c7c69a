// serve-load PORT TARGET SECONDS CLIENTS
//
// A bounded load on a `catalogo servi` of this machine: CLIENTS threads,
// each with one keep-alive connection to 127.0.0.1:PORT, ask for TARGET
// (path and query, sent as written) one request after the other for
// SECONDS seconds. Writes one line:
//   requests=N errors=E per_second=R p50_ms=A p90_ms=B p99_ms=C max_ms=D
// with the latency of the answered requests (status 200), from sending the
// request to having the whole answer. Exit status 1 when any request failed.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct ClientTally {
  std::vector<double> latenciesMs;
  std::uint64_t errors = 0;
};

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: serve-load PORT TARGET SECONDS CLIENTS\n");
    return 2;
  }
  const int port = std::stoi(argv[1]);
  const std::string target = argv[2];
  const auto seconds = std::chrono::seconds(std::stoi(argv[3]));
  const int clients = std::stoi(argv[4]);

  std::vector<ClientTally> tallies(static_cast<std::size_t>(clients));
  std::vector<std::thread> threads;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + seconds;
  for (ClientTally& tally : tallies) {
    threads.emplace_back([&] {
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_url_encode(false);
      while (Clock::now() < end) {
        const Clock::time_point sent = Clock::now();
        const httplib::Result result = client.Get(target);
        const Clock::time_point answered = Clock::now();
        if (result && result->status == 200) {
          tally.latenciesMs.push_back(
              std::chrono::duration<double, std::milli>(answered - sent).count());
        } else {
          ++tally.errors;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::vector<double> all;
  std::uint64_t errors = 0;
  for (const ClientTally& tally : tallies) {
    all.insert(all.end(), tally.latenciesMs.begin(), tally.latenciesMs.end());
    errors += tally.errors;
  }
  std::sort(all.begin(), all.end());
  std::printf(
      "requests=%zu errors=%llu per_second=%.1f p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f max_ms=%.1f\n",
      all.size(), static_cast<unsigned long long>(errors),
      static_cast<double>(all.size()) / elapsed, percentile(all, 0.50), percentile(all, 0.90),
      percentile(all, 0.99), all.empty() ? 0.0 : all.back());
  return errors == 0 ? 0 : 1;
}
