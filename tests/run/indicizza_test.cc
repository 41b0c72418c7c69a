// End-to-end runs of the real indexer in a scratch directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/berkeley_db.h"
#include "index_store/index_proof.h"
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

namespace indicizza {
namespace {

// A run trusts what the last run proved of the folder's files: it reads
// into terms only the records of its own file. A record changed behind its
// back, opere.ddb's size and time kept, is not read again; the same folder
// copied (new files, no proof) is read whole.
TEST(Indicizza, AnIncrementReadsOnlyItsOwnRecordsWhereTheLastRunProvedTheIndex) {
  const ScrambleKey key = buildScrambleKey();
  const auto record = [](RecordNumber number, std::string_view word) {
    return PlainRecord().recordNumber(number).textField(1, word).kindCode("LB");
  };
  testing::CatalogueDir dir;
  dir.stopWords("");
  dir.dataDatabase({});
  // Eight records more, so that one record is few enough to read alone.
  std::vector<PlainRecord> records = {record(1, "ALFA"), record(2, "BETA")};
  for (RecordNumber number = 3; number <= 10; ++number) records.push_back(record(number, "ZETA"));
  writeFile(dir / "opere.cry", recordFileContent(records, key));
  ASSERT_EQ(dir.run().exitStatus, 0);
  if (!readIndexProof(dir / "opere.idb")) GTEST_SKIP() << "no extended attributes here";

  struct stat before {};
  ASSERT_EQ(stat((dir / "opere.ddb").c_str(), &before), 0);
  {
    bdb::Database data;
    ASSERT_TRUE(data.open((dir / "opere.ddb").c_str(), bdb::OpenMode::kExisting).ok());
    const testing::StoredItem changed = testing::storedItemOf(record(1, "GAMMA"));
    bdb::BulkPairs pairs(1 << 16);
    pairs.add(
        {reinterpret_cast<const std::uint8_t*>(changed.first.data()), changed.first.size()},
        {reinterpret_cast<const std::uint8_t*>(changed.second.data()), changed.second.size()});
    ASSERT_TRUE(data.putBulk(pairs).ok());
    ASSERT_TRUE(data.close().ok());
  }
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "opere.ddb").c_str(), times, 0), 0);
  writeFile(dir / "opere.cry", recordFileContent({record(2, "DELTA")}, key));
  testing::ScratchDir copied;
  std::filesystem::copy(
      dir.path(), copied.path(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);

  const auto termsOf = [](const std::filesystem::path& folder) {
    std::string terms;
    for (const auto& [term, entries] : testing::dumpDatabase(folder / "opere.idb"))
      terms += term + " ";
    return terms;
  };
  ASSERT_EQ(dir.run().exitStatus, 0);
  EXPECT_EQ(termsOf(dir.path()), "ALFA BETA DELTA ZETA ");
  ASSERT_EQ(runIndexer(copied.path()).exitStatus, 0);
  EXPECT_EQ(termsOf(copied.path()), "ALFA BETA DELTA GAMMA ZETA ");
}

}  // namespace
}  // namespace indicizza
