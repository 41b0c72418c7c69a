// End-to-end runs of the real indexer in a scratch directory.
#include <gtest/gtest.h>

#include "input/plain_record.h"
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

}  // namespace
}  // namespace indicizza
