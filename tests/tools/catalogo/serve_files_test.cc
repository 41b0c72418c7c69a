// catalogo servi while the catalogue files come and go: a missing index,
// runs of the indexer that replace the files, a half-written working copy
// beside the index, an index cut short, a stop by signal; and it never
// writes into the catalogue folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "support/btree_damage.h"
#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::HttpAnswer;
using testing::ServeProcess;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string countOf(const HttpAnswer& answer) {
  const std::string::size_type start = answer.body.find("id=\"conteggio\" class=\"conteggio\">");
  if (start == std::string::npos) return "(no count: status " + std::to_string(answer.status) + ")";
  const std::string::size_type from = answer.body.find('>', start) + 1;
  return answer.body.substr(from, answer.body.find('<', from) - from);
}

// Name, size and modification time of every file of `dir`.
std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> filesOf(
    const std::filesystem::path& dir) {
  std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files[entry.path().filename().string()] = {entry.file_size(), entry.last_write_time()};
  }
  return files;
}

TEST(ServeFollowsTheFiles, MissingIndexThenRunsOfTheIndexer) {
  CatalogueDir dir;
  std::vector<PlainRecord> records = testing::smallCatalogue();
  dir.prepare(records, testing::kSmallCatalogueStopWords);  // no opere.idb yet
  ServeProcess server(dir.path());
  EXPECT_TRUE(contains(server.log(), "File opere.idb indefinito")) << server.log();

  const HttpAnswer missing = server.request("/?q=partita");
  EXPECT_EQ(missing.status, 503);
  EXPECT_TRUE(
      contains(missing.body, "Il catalogo non si può leggere ora: File opere.idb indefinito"))
      << missing.body;
  EXPECT_EQ(server.request("/record/2").status, 503);
  EXPECT_EQ(server.request("/").status, 200);

  ASSERT_EQ(dir.run().exitStatus, 0);
  EXPECT_EQ(countOf(server.request("/?q=partita")), "1 record trovato");

  // A second run replaces both files: the next request reads the new ones.
  records[1].textField(4, "Ciaccona");
  dir.records(records);
  ASSERT_EQ(dir.run().exitStatus, 0);
  EXPECT_EQ(countOf(server.request("/?q=ciaccona")), "1 record trovato");
  EXPECT_EQ(countOf(server.request("/?q=partita")), "Nessun record trovato");
  EXPECT_TRUE(contains(server.log(), "opere.idb è cambiato: le ricerche leggono il nuovo file"))
      << server.log();
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

TEST(ServeFollowsTheFiles, LongRecordListsAreReadAgainFromANewIndex) {
  // Lists this long are kept between searches: a new index must not be
  // answered from the lists of the old one.
  constexpr int kRecords = 4100;
  CatalogueDir dir;
  std::vector<PlainRecord> records;
  for (int n = 1; n <= kRecords; ++n)
    records.push_back(PlainRecord().recordNumber(n).textField(4, "Sonata"));
  dir.prepare(records);
  ASSERT_EQ(dir.run().exitStatus, 0);
  ServeProcess server(dir.path());
  for (int twice = 0; twice < 2; ++twice) {
    EXPECT_EQ(server.request("/api/cerca?q=sonata&limite=1").body.substr(0, 15),
              "{\"totale\":4100,");
  }
  records.push_back(PlainRecord().recordNumber(kRecords + 1).textField(4, "Sonata"));
  dir.records(records);
  ASSERT_EQ(dir.run().exitStatus, 0);
  EXPECT_EQ(server.request("/api/cerca?q=sonata&limite=1").body.substr(0, 15), "{\"totale\":4101,");
}

TEST(ServeFollowsTheFiles, HalfWrittenIndexesNeverStopTheService) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const std::string whole = testing::readFile(dir / "opere.idb");
  ServeProcess server(dir.path());
  ASSERT_EQ(countOf(server.request("/?q=sonata")), "2 record trovati");

  // A run that is writing (or was killed writing) leaves working copies
  // beside the files; they are never read.
  testing::writeFile(dir / "opere.idb.nuovo", whole.substr(0, whole.size() / 2));
  testing::writeFile(dir / "opere.ddb.nuovo", std::string(4096, '\x5A'));
  EXPECT_EQ(countOf(server.request("/?q=sonata")), "2 record trovati");

  // An index cut short under the real name (a copy made in place, say):
  // the service answers, with an error page or results, and goes on.
  const std::vector<std::size_t> cuts = {whole.size() / 2, 4096, 512, 0};
  for (std::size_t cut : cuts) {
    SCOPED_TRACE("opere.idb cut to " + std::to_string(cut) + " bytes");
    testing::writeFile(dir / "cut", whole.substr(0, cut));
    std::filesystem::rename(dir / "cut", dir / "opere.idb");
    const HttpAnswer answer = server.request("/?q=sonata");
    EXPECT_TRUE(answer.status == 200 || answer.status == 503) << answer.status;
    EXPECT_EQ(server.request("/").status, 200);
  }
  testing::writeFile(dir / "whole", whole);
  std::filesystem::rename(dir / "whole", dir / "opere.idb");
  EXPECT_EQ(countOf(server.request("/?q=sonata")), "2 record trovati");
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

TEST(ServeFollowsTheFiles, KeepsAnsweringWhileTheIndexerRuns) {
  CatalogueDir dir;
  std::vector<PlainRecord> records = testing::smallCatalogue();
  testing::indexSmallCatalogue(dir);
  ServeProcess server(dir.path());
  std::atomic<bool> indexing = true;
  std::atomic<int> answered = 0;
  std::atomic<int> failed = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&] {
      while (indexing) {
        const HttpAnswer answer = server.request("/api/cerca?q=bach+OR+ciaccona");
        if (answer.status == 200 && answer.body.starts_with("{\"totale\":")) {
          ++answered;
        } else {
          ++failed;
        }
      }
    });
  }
  for (int run = 0; run < 6; ++run) {
    records[1].textField(4, run % 2 == 0 ? "Ciaccona" : "Partita");
    dir.records(records);
    EXPECT_EQ(dir.run().exitStatus, 0);
  }
  indexing = false;
  for (std::thread& client : clients) client.join();
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(failed.load(), 0);
  // The last run gave record 2 back its first title.
  EXPECT_EQ(server.request("/api/cerca?q=partita").body.substr(0, 11), "{\"totale\":1");
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

// A file of another kind in a database's place: a named pipe, which a plain
// open would wait on for ever, or a device.
void namedPipeAt(const std::filesystem::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }
void zeroDeviceAt(const std::filesystem::path& p) {
  std::filesystem::create_symlink("/dev/zero", p);
}

struct OtherKindCase {
  const char* name;
  const char* file;
  void (*make)(const std::filesystem::path&);
  bool atStart;  // there when the service starts, or put there while it serves
  friend void PrintTo(const OtherKindCase& c, std::ostream* os) { *os << c.name; }
};

class ServeBesideAFileOfAnotherKind : public ::testing::TestWithParam<OtherKindCase> {};

// Every page that reads the catalogue is a 503 that names the file, at
// once; the service goes on answering, serves again by itself once the
// file is sound, and stops at the first signal.
TEST_P(ServeBesideAFileOfAnotherKind, AnswersRecoversAndStops) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const std::filesystem::path file = dir / GetParam().file;
  std::filesystem::rename(file, dir / "sound");
  if (GetParam().atStart) GetParam().make(file);
  if (!GetParam().atStart) std::filesystem::rename(dir / "sound", file);
  ServeProcess server(dir.path());
  if (!GetParam().atStart) {
    ASSERT_EQ(countOf(server.request("/?q=partita")), "1 record trovato");
    std::filesystem::rename(file, dir / "sound");
    GetParam().make(file);
  }
  const std::string why =
      std::string("Errore apertura ") + GetParam().file + ": non è un file regolare";
  for (const char* target : {"/?q=partita", "/record/2", "/api/cerca?q=partita"}) {
    SCOPED_TRACE(target);
    const HttpAnswer answer = server.request(target);
    EXPECT_EQ(answer.status, 503);
    EXPECT_TRUE(contains(answer.body, why)) << answer.body;
  }
  EXPECT_EQ(server.request("/").status, 200);
  std::filesystem::remove(file);
  std::filesystem::rename(dir / "sound", file);
  EXPECT_EQ(countOf(server.request("/?q=partita")), "1 record trovato");
  EXPECT_EQ(server.stop(SIGTERM, 10), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ServeFollowsTheFiles, ServeBesideAFileOfAnotherKind,
    ::testing::Values(OtherKindCase{"DataIsANamedPipeAtStart", "opere.ddb", namedPipeAt, true},
                      OtherKindCase{"IndexIsANamedPipeAtStart", "opere.idb", namedPipeAt, true},
                      OtherKindCase{"DataBecomesANamedPipe", "opere.ddb", namedPipeAt, false},
                      OtherKindCase{"IndexBecomesANamedPipe", "opere.idb", namedPipeAt, false},
                      OtherKindCase{"IndexBecomesADevice", "opere.idb", zeroDeviceAt, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ServeListens, RefusesAPortAnotherServerHolds) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  ServeProcess first(dir.path());
  const std::string port = std::to_string(first.port());
  // Sharing the port, it would serve until killed.
  const testing::ProgramRun second = testing::runProgram(
      CATALOGO_EXECUTABLE, dir.path(), {"servi", "--porta", port}, std::chrono::seconds(20));
  EXPECT_EQ(second.exitStatus, 2);
  EXPECT_TRUE(contains(second.errorOutput,
                       "Impossibile ascoltare su 127.0.0.1:" + port + ": Address already in use"))
      << second.errorOutput;
}

TEST(ServeStops, OnEachStopSignalWithoutWritingAFile) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    CatalogueDir dir;
    testing::indexSmallCatalogue(dir);
    const auto before = filesOf(dir.path());
    ServeProcess server(dir.path());
    EXPECT_EQ(server.request("/?q=bach").status, 200);
    EXPECT_EQ(server.request("/record/1").status, 200);
    EXPECT_EQ(server.request("/api/cerca?q=bach").status, 200);
    EXPECT_EQ(server.stop(signal), 0);
    EXPECT_TRUE(contains(server.log(), "Servizio fermato")) << server.log();
    EXPECT_EQ(filesOf(dir.path()), before);
  }
}

}  // namespace
}  // namespace indicizza

namespace indicizza {
namespace {

// A damaged page of the index, on no search's path: the page check made
// before the first search on a version of the files finds it, and every
// search gets the 503 page, until a sound index takes its place.
TEST(ServeFollowsTheFiles, ChecksThePagesOfEachNewIndexOnce) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::vector<testing::StoredItem> terms = dir.indexItems();
  for (int n = 0; n < 3000; ++n) terms.emplace_back("Z" + std::to_string(10000 + n), "");
  std::sort(terms.begin(), terms.end());
  std::filesystem::rename(dir / "opere.idb", dir / "sound.idb");
  testing::loadDatabase(dir / "opere.idb", terms);
  const auto leaves = testing::leafChain(dir / "opere.idb");
  testing::zeroPage(dir / "opere.idb", leaves.back());

  ServeProcess server(dir.path());
  const HttpAnswer damaged = server.request("/?q=partita");
  EXPECT_EQ(damaged.status, 503);
  EXPECT_TRUE(contains(damaged.body, "Errore lettura opere.idb: file danneggiato")) << damaged.body;

  std::filesystem::rename(dir / "sound.idb", dir / "opere.idb");
  EXPECT_EQ(countOf(server.request("/?q=partita")), "1 record trovato");
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace indicizza
