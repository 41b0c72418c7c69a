// Running out of memory while the word index grows, end to end: under a
// lowered address-space limit the run must end with its fatal message and
// status 1 (not an abort), the data database closed and whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

constexpr int kRecords = 20000;

// Every word of every record is new, so the word index needs several times
// the memory of the records: the run's threads and blocks take about 80 MB
// of address space, indexing these records about 70 MB more.
constexpr int kAddressSpaceKilobytes = 100000;

// Six letters spelling `counter` in base 26: a word no other counter makes.
std::string uniqueWord(int counter) {
  std::string word;
  for (int i = 0; i < 6; ++i, counter /= 26) word += static_cast<char>('A' + counter % 26);
  return word;
}

TEST(OutOfMemory, WhileTheIndexGrowsStopsWithAMessage) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  std::vector<PlainRecord> records;
  int counter = 0;
  for (int number = 1; number <= kRecords; ++number) {
    PlainRecord record;
    record.recordNumber(number);
    for (int field = 1; field <= 7; ++field) {
      std::string text;
      for (int i = 0; i < 4; ++i) text += uniqueWord(counter++) + " ";
      record.textField(field, text);
    }
    records.push_back(record);
  }
  testing::CatalogueDir dir;
  dir.prepare(records);

  const auto run = testing::runProgram(
      "/bin/sh", dir.path(),
      {"-c", "ulimit -v " + std::to_string(kAddressSpaceKilobytes) + " && exec \"$0\"",
       testing::indexerExecutable().string()});

  EXPECT_EQ(run.exitStatus, 1) << run.errorOutput;
  // The records go into the index as they are loaded.
  EXPECT_TRUE(run.output.starts_with("Inizio scansione\n.")) << run.output;
  EXPECT_TRUE(run.output.ends_with("Memoria insufficiente\n")) << run.output;
  // The loaded records were to replace opere.ddb after the scan.
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  EXPECT_TRUE(dir.dataItems().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
}

}  // namespace
}  // namespace indicizza
