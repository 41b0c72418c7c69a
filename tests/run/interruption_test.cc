// SIGINT and SIGTERM in the middle of each phase, end to end: the run stops
// with its fatal message and status 1, both files still verify, and the data
// database keeps every record it held before the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "bench/catalogue_generator.h"
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

TEST_P(Interruption, StopsWithTheFilesWhole) {
  std::vector<PlainRecord> fileRecords;
  bench::generateCatalogue({.records = kFileRecords},
                           [&](const PlainRecord& record) { fileRecords.push_back(record); });
  std::vector<StoredItem> earlierItems;
  for (int i = 0; i < kEarlierRecords; ++i) {
    earlierItems.push_back(testing::storedItemOf(
        PlainRecord().recordNumber(kFirstEarlierNumber + i).textField(1, "Opera precedente")));
  }

  testing::CatalogueDir dir;
  dir.stopWords(bench::generatedStopWords());
  dir.records(fileRecords);
  dir.dataDatabase(earlierItems);
  const std::string marker = markerOf(GetParam().phase);
  const auto run = testing::runIndexer(dir.path(), {GetParam().signal, marker});

  ASSERT_FALSE(run.timedOut);
  ASSERT_NE(run.output.find(marker), std::string::npos) << run.output;
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(run.output.ends_with("Esecuzione interrotta\n")) << run.output;
  EXPECT_EQ(run.output.find("Fine scansione"), std::string::npos);

  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  if (std::filesystem::exists(dir / "opere.idb")) {
    EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
  }
  EXPECT_EQ(std::filesystem::exists(dir / "opere.idb"), GetParam().phase == Phase::kWrite);

  // Every earlier record is still there, unchanged; everything else stored is
  // a record of the file (the last of its number, for the phases after the
  // load, which completed).
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
  if (GetParam().phase != Phase::kLoad) {
    EXPECT_EQ(fileFound, lastOfFile.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Run, Interruption,
    ::testing::Values(InterruptionCase{"CtrlCWhileLoading", Phase::kLoad, SIGINT},
                      InterruptionCase{"TermWhileLoading", Phase::kLoad, SIGTERM},
                      InterruptionCase{"CtrlCWhileScanning", Phase::kScan, SIGINT},
                      InterruptionCase{"TermWhileScanning", Phase::kScan, SIGTERM},
                      InterruptionCase{"CtrlCWhileWritingTheIndex", Phase::kWrite, SIGINT}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
