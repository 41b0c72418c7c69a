// A SearchServer of this process, with limits small enough to reach in a
// test (ServerSettings), against clients that don't play fair: heads sent a
// line at a time, too many connections, costly searches. The catalogue is a generated one of
// kRecords records, where "lemore" is in nearly every record: the phrase "lemore lemore", which the
// index's lists cannot decide, reads them all and finds none (about 0.7 s in an optimised build,
// several seconds in the sanitizer build).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogo/web/listen_address.h"
#include "catalogo/web/search_server.h"
#include "generator/catalogue_generator.h"
#include "support/catalogue_dir.h"
#include "tools/catalogo/raw_connection.h"
#include "tools/catalogo/server_in_process.h"

namespace indicizza::catalogo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::kPromptly;
using testing::RawConnection;
using testing::ServerInProcess;
using testing::statusOf;

constexpr int kRecords = 100'000;
constexpr const char* kCostly = "/?q=%22lemore+lemore%22";
constexpr const char* kCostlyApi = "/api/cerca?q=%22lemore+lemore%22";
constexpr auto kQuiet = milliseconds(1000);

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Every case serves the catalogue of one folder, made once.
class ServerLimits : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::CatalogueDir;
    std::vector<PlainRecord> records;
    generator::generateCatalogue({.records = kRecords},
                                 [&](const PlainRecord& record) { records.push_back(record); });
    dir_->prepare(records, generator::generatedStopWords());
    ASSERT_EQ(dir_->run().exitStatus, 0);
    before_ = new std::filesystem::path(std::filesystem::current_path());
    std::filesystem::current_path(dir_->path());
  }
  static void TearDownTestSuite() {
    std::filesystem::current_path(*before_);
    delete before_;
    delete dir_;
  }
  static testing::CatalogueDir* dir_;
  static std::filesystem::path* before_;
};
testing::CatalogueDir* ServerLimits::dir_ = nullptr;
std::filesystem::path* ServerLimits::before_ = nullptr;

// What a connection does before its head is whole: nothing, a header line
// now and then, or, after an answer on a kept-alive connection, nothing.
enum class Slowness { kSilent, kTrickling, kIdleAfterAnswer };

struct SlowCase {
  const char* name;
  Slowness slowness;
};

TEST_F(ServerLimits, CutsOffAHeadNotWholeInTime) {
  ServerSettings settings;
  settings.requestHeadDeadline = milliseconds(1000);
  ServerInProcess server(settings);
  for (const SlowCase& slow :
       {SlowCase{"silent", Slowness::kSilent}, SlowCase{"trickling", Slowness::kTrickling},
        SlowCase{"idle after an answer", Slowness::kIdleAfterAnswer}}) {
    SCOPED_TRACE(slow.name);
    RawConnection connection(server.port(), "127.0.0.2");
    if (slow.slowness == Slowness::kIdleAfterAnswer) {
      connection.send(testing::getRequest("/", server.host()));
      EXPECT_EQ(testing::statusesIn(connection.receive(milliseconds(300))), std::vector<int>{200});
    }
    if (slow.slowness == Slowness::kTrickling) connection.send("GET / HTTP/1.1\r\n");
    const Clock::time_point start = Clock::now();
    while (!connection.closedByServer() && Clock::now() - start < 2 * kPromptly) {
      if (slow.slowness == Slowness::kTrickling) connection.send("X-Lento: 1\r\n");
      connection.receive(milliseconds(200));
    }
    EXPECT_TRUE(connection.closedByServer());
    EXPECT_LT(Clock::now() - start, kPromptly);
  }
}

TEST_F(ServerLimits, ConnectionsPerAddressAndInAll) {
  ServerSettings settings;
  settings.maxConnectionsPerAddress = 3;
  settings.maxConnections = 6;
  ServerInProcess server(settings);
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 3; ++i)
    held.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.2"));
  // One more from the same address is closed at once; another address is served.
  RawConnection fourth(server.port(), "127.0.0.2");
  EXPECT_TRUE(fourth.closedWithoutAnswer(kPromptly));
  EXPECT_EQ(statusOf(server.get("/", "127.0.0.3")), 200);

  for (int i = 0; i < 3; ++i)
    held.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.3"));
  // All places taken: a new connection waits, unanswered, until one is free.
  RawConnection waiting(server.port(), "127.0.0.4");
  waiting.send(testing::getRequest("/", server.host(), "Connection: close\r\n"));
  EXPECT_EQ(waiting.receive(kQuiet), "");
  EXPECT_FALSE(waiting.closedByServer());
  held.erase(held.begin());
  EXPECT_EQ(statusOf(waiting.receive(kPromptly)), 200);
}

TEST_F(ServerLimits, ASearchOverItsLimitsIsRefusedWithHowToNarrowIt) {
  ServerSettings settings;
  settings.searchLimits.maxListedRecords = 1000;
  ServerInProcess server(settings);
  const std::string page = server.get("/?q=lemore");
  EXPECT_EQ(statusOf(page), 400);
  EXPECT_TRUE(contains(page,
                       "Ricerca troppo ampia: le liste dell&#39;indice dei suoi termini "
                       "superano 1000 voci; usare termini meno comuni o meno termini"))
      << page;
  const std::string json = server.get("/api/cerca?q=lemore");
  EXPECT_EQ(statusOf(json), 400);
  EXPECT_TRUE(contains(testing::bodyIn(json), "{\"errore\":\"Ricerca troppo ampia: ")) << json;
}

TEST_F(ServerLimits, ASearchPastItsDeadlineGetsA503SayingSo) {
  ServerSettings settings;
  // A page reads a bounded number of records, a few hundred milliseconds'
  // worth on a fast machine: a deadline well below that.
  settings.searchDeadline = milliseconds(20);
  ServerInProcess server(settings);
  const std::string tooSlow =
      "La ricerca ha richiesto più di 20 millisecondi ed è stata interrotta: restringerla";
  const std::string page = server.get(kCostly);
  EXPECT_EQ(statusOf(page), 503);
  EXPECT_TRUE(contains(page, "<p class=\"errore\">" + tooSlow)) << page;
  const std::string json = server.get(kCostlyApi);
  EXPECT_EQ(statusOf(json), 503);
  EXPECT_TRUE(contains(testing::bodyIn(json), "{\"errore\":\"" + tooSlow)) << json;
  EXPECT_TRUE(contains(server.log(), "Ricerca '\"lemore lemore\"': " + tooSlow)) << server.log();
  EXPECT_EQ(statusOf(server.get("/record/1")), 200);
}

// Each search past its deadline is a log line a client can cause at will:
// a flood of them writes one line in ten seconds, not one each.
TEST_F(ServerLimits, SearchesPastTheirDeadlineAreLoggedAtMostOnceInAWhile) {
  ServerSettings settings;
  settings.searchDeadline = milliseconds(20);
  ServerInProcess server(settings);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(statusOf(server.get(kCostly)), 503);
  const std::string log = server.log();
  std::size_t lines = 0;
  for (std::size_t at = log.find("La ricerca ha richiesto"); at != std::string::npos;
       at = log.find("La ricerca ha richiesto", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << log;
}

TEST_F(ServerLimits, AStopAnswersTheSearchesUnderWay) {
  // One worker for four costly searches: the last ends well after the
  // stop's grace for answers under way.
  ServerSettings settings;
  settings.searchThreads = 1;
  settings.searchDeadline = seconds(600);
  auto server = std::make_unique<ServerInProcess>(settings);
  std::vector<std::unique_ptr<RawConnection>> searching;
  for (int i = 0; i < 4; ++i) {
    searching.push_back(std::make_unique<RawConnection>(server->port()));
    searching.back()->send(testing::getRequest(kCostly, server->host()));
  }
  // Read by then, and the first under way; a page reads a bounded number
  // of records, so the four take some hundreds of milliseconds in all.
  std::this_thread::sleep_for(milliseconds(50));
  std::thread stopping([&] { server.reset(); });
  for (auto& client : searching) {
    const std::string answer = client->receive(4 * kPromptly);
    EXPECT_EQ(statusOf(answer), 200);
    EXPECT_TRUE(contains(answer, "Connection: close\r\n")) << answer;
    EXPECT_TRUE(client->closedByServer());
  }
  stopping.join();
}

// Work is shared between client addresses: one address's costly searches,
// more than there are workers and places to wait, hold up neither another
// address's quick search nor its place in the queue. Waiting behind them
// would take some eight costly searches' time; sharing takes a fraction of
// one. The bound is the time of one such search alone, measured here,
// thrice: it holds as well under the sanitizers and on busy cores, where
// every search is several times slower, as on a quiet machine.
TEST_F(ServerLimits, OneAddressesCostlySearchesWaitBehindAnothersWork) {
  ServerSettings settings;
  settings.searchThreads = 1;
  settings.waitingSearches = 8;
  settings.searchDeadline = seconds(600);
  ServerInProcess server(settings);
  const auto timeOf = [&](const char* target, const char* address) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(statusOf(server.get(target, address)), 200);
    return Clock::now() - start;
  };
  timeOf(kCostlyApi, "127.0.0.2");  // the first reads the files cold
  const Clock::duration bound = 3 * timeOf(kCostlyApi, "127.0.0.2");
  std::vector<std::unique_ptr<RawConnection>> costly;
  for (int i = 0; i < 12; ++i) {
    costly.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.2"));
    costly.back()->send(testing::getRequest(kCostlyApi, server.host()));
  }
  std::this_thread::sleep_for(milliseconds(300));  // all read, the first under way
  for (const char* quick : {"/api/cerca?q=lonove", "/record/1"}) {
    SCOPED_TRACE(quick);
    EXPECT_LT(timeOf(quick, "127.0.0.3"), bound);
  }
}

TEST_F(ServerLimits, AFullQueueAnswers503AtOnce) {
  // One search at a time and one waiting: of six costly searches sent at
  // once, four at least find the queue full.
  ServerSettings settings;
  settings.searchThreads = 1;
  settings.waitingSearches = 1;
  settings.searchDeadline = seconds(600);
  ServerInProcess server(settings);
  std::vector<std::unique_ptr<RawConnection>> costly;
  for (int i = 0; i < 6; ++i) {
    costly.push_back(std::make_unique<RawConnection>(server.port()));
    costly.back()->send(testing::getRequest(kCostlyApi, server.host()));
  }
  int busy = 0;
  for (auto& client : costly) {
    const std::string answer = client->receive(kQuiet);
    if (statusOf(answer) != 503) continue;
    ++busy;
    EXPECT_TRUE(contains(answer, "Retry-After: 2\r\n")) << answer;
    EXPECT_TRUE(contains(testing::bodyIn(answer),
                         "{\"errore\":\"Il servizio è occupato: troppe ricerche in attesa (al più "
                         "1)"))
        << answer;
  }
  EXPECT_GE(busy, 4);
  EXPECT_TRUE(contains(server.log(), "Servizio occupato")) << server.log();
  costly.clear();  // their searches end, and the worker is soon free again
  const Clock::time_point start = Clock::now();
  int status = 0;
  while (status != 200 && Clock::now() - start < kPromptly)
    status = statusOf(server.get("/api/cerca?q=lonove"));
  EXPECT_EQ(status, 200);
}

}  // namespace
}  // namespace indicizza::catalogo
