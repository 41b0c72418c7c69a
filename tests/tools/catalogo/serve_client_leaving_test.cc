// A search of catalogo servi ends when its client leaves, rather than
// holding a worker until its deadline: on a build of the search library
// whose searches read each record slowly (tests/CMakeLists.txt), so that a
// search left to run would outlast the test's patience many times over.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "generator/catalogue_generator.h"
#include "support/catalogue_dir.h"
#include "tools/catalogo/raw_connection.h"
#include "tools/catalogo/server_in_process.h"

namespace indicizza::catalogo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// "lemore" is in nearly every generated record: the phrase, which the
// index's lists cannot decide, reads them all, 2000 records at the slow
// build's pace taking about 10 s.
constexpr int kRecords = 2'000;
constexpr const char* kCostly = "/?q=%22lemore+lemore%22";

TEST(ServerClients, ASearchEndsWhenItsClientLeaves) {
  testing::CatalogueDir dir;
  std::vector<PlainRecord> records;
  generator::generateCatalogue({.records = kRecords},
                               [&](const PlainRecord& record) { records.push_back(record); });
  dir.prepare(records, generator::generatedStopWords());
  ASSERT_EQ(dir.run().exitStatus, 0);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    // One worker, and time enough for the costly search: only its client
    // leaving can free the worker for the next request in time.
    ServerSettings settings;
    settings.searchThreads = 1;
    settings.searchDeadline = std::chrono::seconds(600);
    testing::ServerInProcess server(settings);
    {
      testing::RawConnection leaving(server.port());
      leaving.send(testing::getRequest(kCostly, server.host()));
      std::this_thread::sleep_for(milliseconds(300));  // the search is under way
    }
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(testing::statusOf(server.get("/record/1")), 200);
    EXPECT_LT(Clock::now() - start, testing::kPromptly);
  }
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace indicizza::catalogo
