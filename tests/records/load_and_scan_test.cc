// The load and scan phases, end to end: transcript, exit status and the data
// database as the stock utilities read it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::numberedRecords;
using testing::recordKey;
using testing::StoredItem;
using testing::storedItemOf;

// The records of these tests have blank fields: the index gets no term.
const std::string kWritePhase = "Creazione db indice\n\nFine scansione\n";

std::string transcript(const std::string& loadDots, const std::string& scanDots) {
  return "Inizio scansione\n" + loadDots + "\n" + scanDots + "\n" + kWritePhase;
}

struct DotCase {
  int records;
  std::string loadDots;
  std::string scanDots;
  friend void PrintTo(const DotCase& c, std::ostream* os) { *os << c.records << " records"; }
};

class Dots : public ::testing::TestWithParam<DotCase> {};

TEST_P(Dots, FollowEveryTwoHundredPutsAndEveryHundredRecords) {
  CatalogueDir dir;
  dir.prepare(numberedRecords(1, GetParam().records));
  const auto run = dir.run();
  EXPECT_EQ(run.output, transcript(GetParam().loadDots, GetParam().scanDots));
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(dir.dataItems().size(), static_cast<std::size_t>(GetParam().records));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
}

INSTANTIATE_TEST_SUITE_P(LoadAndScan, Dots,
                         ::testing::Values(DotCase{1, "", ""}, DotCase{99, "", ""},
                                           DotCase{100, "", "."}, DotCase{199, "", "."},
                                           DotCase{200, ".", ".."}, DotCase{450, "..", "...."}));

TEST(LoadAndScan, StoresTheScrambledRecordUnderItsLittleEndianNumber) {
  CatalogueDir dir;
  const std::vector<PlainRecord> records = {
      PlainRecord().recordNumber(300).textField(1, "TRECENTO").kindCode("AB"),
      PlainRecord().recordNumber(-42).textField(2, "NEGATIVO"),
      PlainRecord().recordNumberText("  7   ").textField(3, "SETTE"),
      PlainRecord().recordNumberText("ABCDEF"),  // no digits: number 0
  };
  dir.prepare(records);
  ASSERT_EQ(dir.run().exitStatus, 0);

  std::vector<StoredItem> expected;
  for (const auto& record : records) expected.push_back(storedItemOf(record));
  std::sort(expected.begin(), expected.end());  // unsigned byte order of the keys
  EXPECT_EQ(expected[0].first, recordKey(0));
  EXPECT_EQ(dir.dataItems(), expected);
  EXPECT_EQ(recordKey(300), std::string("\x2C\x01\x00\x00", 4));
}

TEST(LoadAndScan, EqualNumbersCountTwiceButTheLaterRecordWins) {
  CatalogueDir dir;
  std::vector<PlainRecord> records = numberedRecords(1, 199);
  records[4].textField(1, "PRIMO");
  const PlainRecord later = PlainRecord().recordNumber(5).textField(1, "SECONDO");
  records.push_back(later);
  dir.prepare(records);

  const auto run = dir.run();
  EXPECT_EQ(run.output, transcript(".", "."));  // 200 puts, 199 stored records
  const auto items = dir.dataItems();
  ASSERT_EQ(items.size(), 199u);
  EXPECT_NE(std::find(items.begin(), items.end(), storedItemOf(later)), items.end());
}

// A regular record file is read twice (once through, then the records that
// survive at their places); a pipe can't be, and is kept in memory as read.
// Both must give the same transcript and the same data database, with
// numbers repeated across the file and a short final record.
TEST(LoadAndScan, ARecordFileThatIsAPipeLoadsAsARegularFileDoes) {
  std::vector<PlainRecord> records = numberedRecords(1, 5000);
  for (int n = 4990; n > 0; n -= 700)
    records.push_back(PlainRecord().recordNumber(n).textField(1, "ANCORA"));
  const auto content = recordFileContent(records, buildScrambleKey()) + "CODA";

  CatalogueDir fromFile;
  fromFile.prepare({});
  testing::writeFile(fromFile / "opere.cry", content);
  const auto fileRun = fromFile.run();
  EXPECT_EQ(fileRun.exitStatus, 0);

  CatalogueDir fromPipe;
  fromPipe.prepare({});
  std::filesystem::remove(fromPipe / "opere.cry");
  ASSERT_EQ(mkfifo((fromPipe / "opere.cry").c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = open((fromPipe / "opere.cry").c_str(), O_WRONLY);
    for (std::size_t done = 0; fd >= 0 && done < content.size();) {
      const ssize_t n = write(fd, content.data() + done, content.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (fd >= 0) close(fd);
  });
  const auto pipeRun = fromPipe.run();
  writer.join();

  EXPECT_EQ(pipeRun.output, fileRun.output);
  EXPECT_EQ(pipeRun.exitStatus, 0);
  const auto items = fromPipe.dataItems();
  EXPECT_EQ(items, fromFile.dataItems());
  EXPECT_EQ(items.size(), 5000u);
  EXPECT_NE(std::find(items.begin(), items.end(), storedItemOf(records.back())), items.end());
}

TEST(LoadAndScan, ShortFinalRecordIsReportedAndDropped) {
  CatalogueDir dir;
  dir.prepare({});
  const auto content = recordFileContent(numberedRecords(1, 2), buildScrambleKey()) + "X";
  testing::writeFile(dir / "opere.cry", content);  // 1051 bytes

  const auto run = dir.run();
  EXPECT_EQ(run.output, "Inizio scansione\nRecord con lunghezza diversa da quella stabilita\n\n\n" +
                            kWritePhase);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(dir.dataItems().size(), 2u);
}

TEST(LoadAndScan, RecordsOfEarlierRunsAreKeptAndScanned) {
  CatalogueDir dir;
  std::vector<StoredItem> earlier;
  for (const auto& record : numberedRecords(1000, 150)) earlier.push_back(storedItemOf(record));
  dir.stopWords("");
  dir.dataDatabase(earlier);
  dir.records(numberedRecords(1, 50));

  const auto run = dir.run();
  EXPECT_EQ(run.output, transcript("", ".."));  // 50 puts, 200 records scanned
  EXPECT_EQ(dir.dataItems().size(), 200u);
}

TEST(LoadAndScan, ItemsOfAnotherSizeAreReportedAndSkipped) {
  CatalogueDir dir;
  std::vector<StoredItem> items = {{recordKey(7), std::string(100, 'x')},
                                   {std::string("\x01\x02", 2), std::string(10, 'y')},
                                   {recordKey(9), std::string(525, 'z')}};
  for (const auto& record : numberedRecords(101, 100)) items.push_back(storedItemOf(record));
  dir.stopWords("");
  dir.dataDatabase(items);
  dir.records({});

  const auto run = dir.run();
  EXPECT_EQ(run.exitStatus, 0);
  // In key order the odd items (keys 01 02, 07.., 09..) come before records
  // 101-200 (keys 65.. to C8..).
  const std::string skipped7 = "Record di lunghezza errata in opere.ddb, chiave 7: ignorato\n";
  const std::string skipped9 = "Record di lunghezza errata in opere.ddb, chiave 9: ignorato\n";
  const std::string skippedShortKey =
      "Record di lunghezza errata in opere.ddb, chiave 0x0102: ignorato\n";
  EXPECT_EQ(run.output,
            "Inizio scansione\n\n" + skippedShortKey + skipped7 + skipped9 + ".\n" + kWritePhase);
}

// Only whole records count towards the scan dots: the odd items are told
// apart by counts where one more dot would show.
struct OddItemCase {
  int records;
  int oddItems;
  std::string scanDots;
  friend void PrintTo(const OddItemCase& c, std::ostream* os) {
    *os << c.records << " records, " << c.oddItems << " odd items";
  }
};

class OddItems : public ::testing::TestWithParam<OddItemCase> {};

TEST_P(OddItems, AreNoScanDots) {
  CatalogueDir dir;
  // Odd items keyed 1, 2, 3, ... come before records 4 to 255 in key order.
  std::vector<StoredItem> items;
  std::string reports;
  for (int i = 1; i <= GetParam().oddItems; ++i) {
    items.push_back({recordKey(i), std::string(100, 'x')});
    reports +=
        "Record di lunghezza errata in opere.ddb, chiave " + std::to_string(i) + ": ignorato\n";
  }
  for (const auto& record : numberedRecords(4, GetParam().records))
    items.push_back(storedItemOf(record));
  dir.stopWords("");
  dir.dataDatabase(items);
  dir.records({});

  const auto run = dir.run();
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output,
            "Inizio scansione\n\n" + reports + GetParam().scanDots + "\n" + kWritePhase);
}

INSTANTIATE_TEST_SUITE_P(LoadAndScan, OddItems,
                         ::testing::Values(OddItemCase{99, 1, ""}, OddItemCase{97, 3, ""},
                                           OddItemCase{197, 3, "."}, OddItemCase{0, 3, ""},
                                           OddItemCase{100, 3, "."}),
                         [](const auto& info) {
                           return "Records" + std::to_string(info.param.records) + "OddItems" +
                                  std::to_string(info.param.oddItems);
                         });

struct FatalCase {
  const char* name;
  const char* dataDatabase;  // "empty", "missing", "hash", "text", "directory"
  std::string expected;
  friend void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }
};

class DataDatabaseFailures : public ::testing::TestWithParam<FatalCase> {};

TEST_P(DataDatabaseFailures, StopWithTheirMessage) {
  CatalogueDir dir;
  dir.stopWords("");
  dir.records({});
  const std::string kind = GetParam().dataDatabase;
  if (kind == "empty") dir.dataDatabase();
  if (kind == "hash") testing::loadDatabase(dir / "opere.ddb", {{"k", "v"}}, "hash");
  if (kind == "text") testing::writeFile(dir / "opere.ddb", std::string(8192, 'x'));
  if (kind == "directory") std::filesystem::create_directory(dir / "opere.ddb");

  const auto run = dir.run();
  EXPECT_EQ(run.output, GetParam().expected);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb"));
}

INSTANTIATE_TEST_SUITE_P(
    LoadAndScan, DataDatabaseFailures,
    ::testing::Values(FatalCase{"Empty", "empty", "Inizio scansione\nErrore costruzione DB\n"},
                      FatalCase{"Missing", "missing", "Inizio scansione\nopere.ddb open error\n"},
                      FatalCase{"HashDatabase", "hash", "Inizio scansione\nopere.ddb open error\n"},
                      FatalCase{"NotADatabase", "text", "Inizio scansione\nopere.ddb open error\n"},
                      FatalCase{"Directory", "directory",
                                "Inizio scansione\nopere.ddb open error\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
