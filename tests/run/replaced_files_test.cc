// A database that another program restores, changes or makes while a run
// works from it: the run never replaces it. Each case swaps a file while
// the run reads its records from a named pipe, after the run has looked at
// the file and before it would replace it, then checks the transcript, that
// the file found stays as it was found, and that no working copy is left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "index_store/index_database.h"
#include "input/plain_record.h"
#include "input/scramble_key.h"
#include "records/data_database.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;

// More records than a pipe holds: once the test has written them all but
// the last, the run is reading them, its look at the files done.
constexpr int kRecords = 400;
constexpr std::size_t kWrittenFirst = std::size_t{128} << 10;
constexpr auto kPatience = std::chrono::seconds(30);

// The other version of each database: what a backup holds.
void makeBackups(const CatalogueDir& d) {
  testing::loadDatabase(
      d / "backup.ddb",
      {testing::storedItemOf(PlainRecord().recordNumber(9).textField(1, "COPIA"))});
  testing::loadDatabase(d / "backup.idb", {{"COPIA", std::string(8, '\0')}});
}

// Restored as `cp` and `mv` do: a new file renamed over the database.
void restore(const CatalogueDir& d, const std::string& name) {
  const std::filesystem::path backup =
      d / ("backup" + std::filesystem::path(name).extension().string());
  std::filesystem::copy_file(backup, d / (name + ".ripristino"));
  std::filesystem::rename(d / (name + ".ripristino"), d / name);
}

// Copied over in place, as `cp` onto the database does: the same file,
// other bytes.
void copyOver(const CatalogueDir& d, const std::string& name) {
  const std::filesystem::path backup =
      d / ("backup" + std::filesystem::path(name).extension().string());
  std::filesystem::copy_file(backup, d / name, std::filesystem::copy_options::overwrite_existing);
}

struct SwapCase {
  const char* name;
  bool indexAtStart;  // whether opere.idb is there when the run starts
  std::function<void(const CatalogueDir&)> swap;
  std::string expected;  // the transcript
  std::string found;     // the database that must stay as it was found
  friend void PrintTo(const SwapCase& c, std::ostream* os) { *os << c.name; }
};

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

class FilesChangedDuringARun : public ::testing::TestWithParam<SwapCase> {};

TEST_P(FilesChangedDuringARun, AreNeverReplaced) {
  CatalogueDir dir;
  dir.prepare({});
  if (GetParam().indexAtStart) testing::loadDatabase(dir / "opere.idb", {{"ZEFIRO", "12345678"}});
  makeBackups(dir);
  const std::string content =
      recordFileContent(testing::numberedRecords(1, kRecords), buildScrambleKey());
  std::filesystem::remove(dir / "opere.cry");
  ASSERT_EQ(mkfifo((dir / "opere.cry").c_str(), 0600), 0);
  std::thread writer([&] {
    // A run that ends before reading them all makes writes fail with EPIPE,
    // rather than end the tests.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    // Opened once the run opens it to read, before its first message.
    const int fd = open((dir / "opere.cry").c_str(), O_WRONLY);
    if (fd < 0) return;
    writeAll(fd, std::string_view(content).substr(0, kWrittenFirst));
    const auto start = std::chrono::steady_clock::now();
    // The run has read opere.ddb whole once its working copy is as long:
    // a copy over it any earlier would change the bytes it is reading.
    const auto copied = [&] {
      std::error_code error;
      const auto made = std::filesystem::file_size(dir / "opere.ddb.nuovo", error);
      return !error && made >= std::filesystem::file_size(dir / "opere.ddb", error) && !error;
    };
    while (!copied() && std::chrono::steady_clock::now() - start < kPatience)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    GetParam().swap(dir);
    writeAll(fd, std::string_view(content).substr(kWrittenFirst));
    close(fd);
  });
  const auto run = dir.run();
  writer.join();
  EXPECT_EQ(run.output, GetParam().expected);
  EXPECT_EQ(run.exitStatus, 1);
  const std::string& found = GetParam().found;
  EXPECT_EQ(
      testing::readFile(dir / found),
      testing::readFile(dir / ("backup" + std::filesystem::path(found).extension().string())));
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb.nuovo"));
}

// The load's and the scan's dots for kRecords records, then the message.
const std::string kLoadAndScan = "Inizio scansione\n..\n....\n";
const std::string kDataReplaced = kLoadAndScan + kDataDatabaseReplaced + "\n";
const std::string kIndexReplaced =
    kLoadAndScan + "Creazione db indice\n" + kIndexDatabaseReplaced + "\n";

INSTANTIATE_TEST_SUITE_P(
    Run, FilesChangedDuringARun,
    ::testing::Values(SwapCase{"DataDatabaseRestored", true,
                               [](const CatalogueDir& d) { restore(d, "opere.ddb"); },
                               kDataReplaced, "opere.ddb"},
                      SwapCase{"DataDatabaseCopiedOver", true,
                               [](const CatalogueDir& d) { copyOver(d, "opere.ddb"); },
                               kDataReplaced, "opere.ddb"},
                      SwapCase{"IndexDatabaseRestored", true,
                               [](const CatalogueDir& d) { restore(d, "opere.idb"); },
                               kIndexReplaced, "opere.idb"},
                      SwapCase{"IndexDatabaseCopiedOver", true,
                               [](const CatalogueDir& d) { copyOver(d, "opere.idb"); },
                               kIndexReplaced, "opere.idb"},
                      SwapCase{"IndexDatabaseMadeMeanwhile", false,
                               [](const CatalogueDir& d) {
                                 std::filesystem::copy_file(d / "backup.idb", d / "opere.idb");
                               },
                               kIndexReplaced, "opere.idb"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
