// End-to-end runs of the real indexer in a scratch directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "input/plain_record.h"
#include "support/catalogue_dir.h"
#include "support/program_run.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using testing::runIndexer;
using testing::writeFile;

TEST(Indicizza, WithoutStopWordFileSaysSoAndNothingElse) {
  testing::ScratchDir dir;
  writeFile(dir / "opere.cry", "");
  const auto run = runIndexer(dir.path());
  EXPECT_EQ(run.output, "File noused.txt indefinito\n");
  EXPECT_EQ(run.exitStatus, 1);
}

TEST(Indicizza, WithoutRecordFileStopsBeforeTheScan) {
  testing::ScratchDir dir;
  writeFile(dir / "noused.txt", "IL\n");
  const auto run = runIndexer(dir.path());
  EXPECT_EQ(run.output, "Errore lettura opere.cry\n");
  EXPECT_EQ(run.exitStatus, 1);
}

// A file that opens but can't be read: /proc/self/mem, whose first page is
// never mapped, fails every read from its start with EIO.
struct ReadErrorCase {
  const char* name;
  const char* file;
  std::string output;
  friend void PrintTo(const ReadErrorCase& c, std::ostream* os) { *os << c.name; }
};

class ReadErrors : public ::testing::TestWithParam<ReadErrorCase> {};

TEST_P(ReadErrors, StopWithTheReadMessage) {
  testing::CatalogueDir dir;
  dir.prepare(testing::numberedRecords(1, 3));
  std::filesystem::remove(dir / GetParam().file);
  std::filesystem::create_symlink("/proc/self/mem", dir / GetParam().file);
  const auto run = runIndexer(dir.path());
  EXPECT_EQ(run.output, GetParam().output);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(dir.dataItems().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
}

INSTANTIATE_TEST_SUITE_P(
    Indicizza, ReadErrors,
    ::testing::Values(ReadErrorCase{"StopWords", "noused.txt",
                                    "Errore durante la lettura di noused.txt\n"},
                      ReadErrorCase{"Records", "opere.cry",
                                    "Inizio scansione\nErrore durante la lettura di opere.cry\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
