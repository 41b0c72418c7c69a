// SIGINT and SIGTERM in the middle of each phase, end to end: the run stops
// with its fatal message and status 1, both files still verify, and the data
// database keeps every record it held before the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "generator/catalogue_generator.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

// Large enough that each phase takes many bulk steps after its first dot.
constexpr std::uint64_t kFileRecords = 40000;
constexpr int kEarlierRecords = 50;
constexpr int kFirstEarlierNumber = 900000;  // beyond the file's numbers

enum class Phase { kLoad, kScan, kWrite };

struct InterruptionCase {
  const char* name;
  Phase phase;
  int signal;

  friend void PrintTo(const InterruptionCase& c, std::ostream* os) { *os << c.name; }
};

class Interruption : public ::testing::TestWithParam<InterruptionCase> {};

// The output up to the first progress dot of `phase`.
std::string markerOf(Phase phase) {
  const std::string loadDots(kFileRecords / 200, '.');
  switch (phase) {
    case Phase::kLoad: return "Inizio scansione\n.";
    case Phase::kScan: return "Inizio scansione\n" + loadDots + "\n.";
    case Phase::kWrite: return "Creazione db indice\n.";
  }
  return {};
}

// A catalogue of kFileRecords generated records over a data database that
// holds kEarlierRecords others.
struct InterruptedCatalogue : testing::CatalogueDir {
  InterruptedCatalogue() {
    generator::generateCatalogue({.records = kFileRecords},
                                 [&](const PlainRecord& record) { fileRecords.push_back(record); });
    for (int i = 0; i < kEarlierRecords; ++i) {
      earlierItems.push_back(testing::storedItemOf(
          PlainRecord().recordNumber(kFirstEarlierNumber + i).textField(1, "Opera precedente")));
    }
    stopWords(generator::generatedStopWords());
    records(fileRecords);
    dataDatabase(earlierItems);
  }
  // How many items a whole run leaves in the data database.
  std::size_t itemsAfterARun() const {
    std::set<std::string> keys;
    for (const auto& record : fileRecords) keys.insert(testing::storedItemOf(record).first);
    return keys.size() + earlierItems.size();
  }
  std::vector<PlainRecord> fileRecords;
  std::vector<StoredItem> earlierItems;
};

TEST_P(Interruption, StopsWithTheFilesWhole) {
  InterruptedCatalogue dir;
  const auto& [fileRecords, earlierItems] = std::tie(dir.fileRecords, dir.earlierItems);
  const std::string marker = markerOf(GetParam().phase);
  testing::SignalOnOutput interrupt;
  interrupt.signal = GetParam().signal;
  interrupt.marker = marker;
  const auto run = testing::runIndexer(dir.path(), interrupt);

  ASSERT_FALSE(run.timedOut);
  ASSERT_NE(run.output.find(marker), std::string::npos) << run.output;
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(run.output.ends_with("Esecuzione interrotta\n")) << run.output;
  EXPECT_EQ(run.output.find("Fine scansione"), std::string::npos);

  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  // The index database did not exist before the run, and its working copy,
  // like that of the data database, was thrown away.
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb"));
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb.nuovo"));
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));

  // Every earlier record is still there, unchanged. The data database is
  // replaced once the scan is over: before that, nothing of the file is
  // stored; after, every record of it (the last of its number).
  std::map<std::string, std::string> lastOfFile;
  for (const auto& record : fileRecords) {
    auto [key, data] = testing::storedItemOf(record);
    lastOfFile.insert_or_assign(key, data);
  }
  std::size_t earlierFound = 0;
  std::size_t fileFound = 0;
  for (const auto& item : dir.dataItems()) {
    if (std::find(earlierItems.begin(), earlierItems.end(), item) != earlierItems.end()) {
      ++earlierFound;
      continue;
    }
    const auto it = lastOfFile.find(item.first);
    ASSERT_NE(it, lastOfFile.end()) << "an item the run never had";
    EXPECT_EQ(item.second, it->second);
    ++fileFound;
  }
  EXPECT_EQ(earlierFound, static_cast<std::size_t>(kEarlierRecords));
  EXPECT_EQ(fileFound, GetParam().phase == Phase::kWrite ? lastOfFile.size() : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Run, Interruption,
    ::testing::Values(InterruptionCase{"CtrlCWhileLoading", Phase::kLoad, SIGINT},
                      InterruptionCase{"TermWhileLoading", Phase::kLoad, SIGTERM},
                      InterruptionCase{"CtrlCWhileScanning", Phase::kScan, SIGINT},
                      InterruptionCase{"TermWhileScanning", Phase::kScan, SIGTERM},
                      InterruptionCase{"HangUpWhileLoading", Phase::kLoad, SIGHUP},
                      InterruptionCase{"CtrlCWhileWritingTheIndex", Phase::kWrite, SIGINT}),
    [](const auto& info) { return std::string(info.param.name); });

// A run that does not answer its first signal (stopped here, so that both
// signals wait together) ends at the second, at once: its working copy stays
// behind, the files are as before, and the next run clears it away.
TEST(Interruption, ASecondSignalEndsTheRunAtOnce) {
  InterruptedCatalogue dir;
  testing::SignalOnOutput interrupt;
  interrupt.marker = "Inizio scansione\n.";
  interrupt.action = [](pid_t pid) {
    kill(pid, SIGSTOP);
    kill(pid, SIGINT);
    kill(pid, SIGTERM);
    kill(pid, SIGCONT);
  };
  const auto run = testing::runIndexer(dir.path(), interrupt);
  EXPECT_TRUE(run.output.ends_with(".Esecuzione interrotta\n")) << run.output;
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_EQ(dir.dataItems(), dir.earlierItems);

  EXPECT_EQ(dir.run().exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_EQ(dir.dataItems().size(), dir.itemsAfterARun());
}

// A run that does not answer its first signal within the grace time is ended
// by the alarm, at once, as by a second signal. The indexer run here is the
// test-only build whose answer comes 30 seconds late; it ends in about 3,
// its working copy left behind (no answer threw it away), the files as
// before, and the next run clears the copy away.
TEST(Interruption, AFirstSignalUnansweredInTimeEndsTheRun) {
  InterruptedCatalogue dir;
  testing::SignalOnOutput interrupt;
  interrupt.signal = SIGTERM;
  interrupt.marker = "Inizio scansione\n.";
  const auto start = std::chrono::steady_clock::now();
  const auto run = testing::runProgram(SLOW_ANSWER_EXECUTABLE, dir.path(), {},
                                       testing::kRunTimeLimit, interrupt);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(run.output.ends_with(".Esecuzione interrotta\n")) << run.output;
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_LT(took, std::chrono::seconds(20));
  EXPECT_TRUE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  EXPECT_EQ(dir.dataItems(), dir.earlierItems);
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb"));

  EXPECT_EQ(dir.run().exitStatus, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_EQ(dir.dataItems().size(), dir.itemsAfterARun());
}

// A hang-up that was ignored when the run started (nohup) does not stop it.
TEST(Interruption, AnIgnoredHangUpStaysIgnored) {
  InterruptedCatalogue dir;
  testing::SignalOnOutput hangUp;
  hangUp.signal = SIGHUP;
  hangUp.marker = "Inizio scansione\n.";
  const auto run =
      testing::runProgram("/bin/sh", dir.path(),
                          {"-c", "trap '' HUP; exec \"$0\"", testing::indexerExecutable().string()},
                          testing::kRunTimeLimit, hangUp);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(run.output.ends_with("Fine scansione\n")) << run.output;
  EXPECT_EQ(dir.dataItems().size(), dir.itemsAfterARun());
}

// A console that goes away (a pipe whose reader has ended) leaves the work
// on the files to finish, and the exit status to tell how it ended.
TEST(Interruption, AClosedConsoleDoesNotStopTheRun) {
  InterruptedCatalogue dir;
  const auto run = testing::runProgram("/bin/bash", dir.path(),
                                       {"-c", "set -o pipefail; \"$0\" | head -c 20 >/dev/null",
                                        testing::indexerExecutable().string()});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
  EXPECT_EQ(dir.dataItems().size(), dir.itemsAfterARun());
}

}  // namespace
}  // namespace indicizza
