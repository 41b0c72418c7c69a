// The whole run, end to end, with the index database read back by the stock
// utilities and compared with an index written out by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "index_store/index_database.h"
#include "support/btree_files.h"
#include "support/catalogue_dir.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::StoredItem;

// One stored entry: number (little-endian) and kind code, then two zeros.
std::string entry(std::string numberLE, const char* kind) {
  return numberLE + kind + std::string(2, '\0');
}
const std::string kOne("\x01\x00\x00\x00", 4);
const std::string kThree("\x03\x00\x00\x00", 4);
const std::string kThreeHundred("\x2C\x01\x00\x00", 4);

std::vector<PlainRecord> smallCatalogue() {
  return {
      PlainRecord()
          .recordNumber(3)
          .kindCode("AB")
          .textField(1, "Sonata in re")
          .codeField(1, "331-A"),
      PlainRecord()
          .recordNumber(300)
          .kindCode("AB")
          .flags('1', '2')
          .textField(1, "Sonata")
          .textField(4, "L'amore e il tempo"),
      PlainRecord()
          .recordNumber(1)
          .kindCode("CH")
          .textField(2, "Perch\xE9 no?")
          .codeField(2, "1999"),
  };
}

// Scan order is 1, 3, 300 (keys 01.., 03.., 2C 01..).
const std::vector<StoredItem> kSmallIndex = {
    {"1999", entry(kOne, "CH")},
    {"331", entry(kThree, "AB")},
    {"AMORE", entry(kThreeHundred, "aB")},
    {"IN", entry(kThree, "AB")},
    {"L", entry(kThreeHundred, "aB")},
    {"PERCH\xE9", entry(kOne, "CH")},
    {"RE", entry(kThree, "AB")},
    {"SONATA", entry(kThree, "AB") + entry(kThreeHundred, "aB")},
    {"TEMPO", entry(kThreeHundred, "aB")},
};

const char* const kSmallTranscript =
    "Inizio scansione\n\n\nCreazione db indice\n\nFine scansione\n";

TEST(WriteIndex, SmallCatalogueGivesTheIndexWrittenByHand) {
  CatalogueDir dir;
  dir.prepare(smallCatalogue(), "IL\nE\nNO\n");
  const auto run = dir.run();
  EXPECT_EQ(run.output, kSmallTranscript);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(dir.indexItems(), kSmallIndex);
  EXPECT_EQ(kSmallIndex[7].second,
            std::string("\x03\x00\x00\x00\x41\x42\x00\x00\x2C\x01\x00\x00\x61\x42\x00\x00", 16));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
}

TEST(WriteIndex, SecondRunOverTheFirstRunsFilesLeavesTheSameFiles) {
  CatalogueDir dir;
  dir.prepare(smallCatalogue(), "IL\nE\nNO\n");
  ASSERT_EQ(dir.run().exitStatus, 0);
  const auto data = dir.dataItems();
  const auto run = dir.run();
  EXPECT_EQ(run.output, kSmallTranscript);
  EXPECT_EQ(dir.indexItems(), kSmallIndex);
  EXPECT_EQ(dir.dataItems(), data);
}

// The new index is written from nothing, with the earlier file's items that
// this run does not produce carried over between its terms: before the
// first, between (a prefix, an extension, a byte above 0x7F), after the
// last, in numbers that cross a bulk put, and with data over a bulk put's
// size. None of them counts a dot.
struct EarlierCase {
  const char* name;
  std::vector<StoredItem> earlier;  // sorted by key
  friend void PrintTo(const EarlierCase& c, std::ostream* os) { *os << c.name; }
};

class EarlierTerms : public ::testing::TestWithParam<EarlierCase> {};

TEST_P(EarlierTerms, StayAndProducedTermsAreReplaced) {
  CatalogueDir dir;
  dir.prepare(smallCatalogue(), "IL\nE\nNO\n");
  testing::loadDatabase(dir / "opere.idb", GetParam().earlier);
  // The new file takes the old one's mode.
  std::filesystem::permissions(dir / "opere.idb", std::filesystem::perms(0640));
  const auto run = dir.run();
  EXPECT_EQ(run.output, kSmallTranscript);
  ASSERT_EQ(run.exitStatus, 0);
  std::map<std::string, std::string> expected(GetParam().earlier.begin(), GetParam().earlier.end());
  for (const auto& [term, data] : kSmallIndex) expected[term] = data;
  EXPECT_EQ(dir.indexItems(), std::vector<StoredItem>(expected.begin(), expected.end()));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
  EXPECT_EQ(std::filesystem::status(dir / "opere.idb").permissions(), std::filesystem::perms(0640));
}

std::vector<StoredItem> manyEarlierTerms() {
  std::vector<StoredItem> items;
  for (int i = 0; i < 3000; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "Q%05d", i);
    items.push_back({key, std::string(1000, static_cast<char>('a' + i % 26))});
  }
  return items;
}

INSTANTIATE_TEST_SUITE_P(WriteIndex, EarlierTerms,
                         ::testing::Values(EarlierCase{"AroundAndBetween",
                                                       {{"0000", entry(kOne, "AA")},
                                                        {"A", entry(kOne, "BB")},
                                                        {"PERCHE", entry(kOne, "CC")},
                                                        {"PERCH\xE9", entry(kOne, "DD")},
                                                        {"PERCH\xE9S", entry(kOne, "EE")},
                                                        {"SONAT", entry(kOne, "FF")},
                                                        {"SONATA", entry(kOne, "XX")},
                                                        {"SONATAS", entry(kOne, "GG")},
                                                        {"TEMPO", entry(kThree, "HH")},
                                                        {"ZZZ", entry(kOne, "YY")},
                                                        {"\xFF", entry(kOne, "ZZ")}}},
                                           EarlierCase{"ManyAcrossBulkPuts", manyEarlierTerms()},
                                           EarlierCase{"LargerThanABulkPut",
                                                       {{"AAA", std::string(3 << 20, 'x')},
                                                        {"SONATA", entry(kOne, "XX")}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WriteIndex, EmptyWordIndexStillCreatesTheIndexFile) {
  CatalogueDir dir;
  dir.prepare(testing::numberedRecords(1, 3));
  const auto run = dir.run();
  EXPECT_EQ(run.output, kSmallTranscript);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(dir.indexItems().empty());
}

TEST(WriteIndex, WritesADotEveryHundredTerms) {
  CatalogueDir dir;
  std::vector<PlainRecord> records;
  for (int i = 0; i < 250; ++i) {
    const std::string word = {'W', static_cast<char>('A' + i / 26),
                              static_cast<char>('A' + i % 26)};
    records.push_back(PlainRecord().recordNumber(i + 1).textField(1, word));
  }
  dir.prepare(records);
  const auto run = dir.run();
  EXPECT_EQ(run.output, "Inizio scansione\n.\n..\nCreazione db indice\n..\nFine scansione\n");
  EXPECT_EQ(dir.indexItems().size(), 250u);
}

// The phase says nothing until opere.ddb is in place, however many bulk
// puts it makes meanwhile; then the report, and a dot for every hundred
// terms put, those put before it included.
TEST(WriteIndex, SaysNothingUntilTheDataIsInPlaceThenDotsEveryTermPut) {
  testing::ScratchDir dir;
  WordIndex index;
  constexpr int kTerms = 150000;  // three bulk puts
  for (int i = 0; i < kTerms; ++i) index.add("T" + std::to_string(i), {1, {{'A', 'B'}}});
  int asked = 0;
  std::string before;
  const IndexedDataReady ready{[&] { return ++asked > 2; },
                               [&] {
                                 before = ::testing::internal::GetCapturedStdout();
                                 ::testing::internal::CaptureStdout();
                                 return IndexedData{};
                               }};
  ::testing::internal::CaptureStdout();
  writeIndex(index, std::nullopt, ready, nullptr, dir / "opere.idb");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Creazione db indice\n" + std::string(kTerms / 100, '.') + "\n");
  EXPECT_EQ(before, "");
  EXPECT_EQ(asked, 3);
}

TEST(WriteIndex, IndexFileThatIsNotABtreeStopsTheRunBeforeTheLoad) {
  CatalogueDir dir;
  dir.prepare(smallCatalogue());
  testing::loadDatabase(dir / "opere.idb", {{"k", "v"}}, "hash");
  const auto run = dir.run();
  // The write phase's message for a file it can't open, before the load.
  EXPECT_EQ(run.output, "Inizio scansione\nOpen error\n");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(dir.dataItems().empty());
  EXPECT_EQ(dir.indexItems(), (std::vector<testing::StoredItem>{{"k", "v"}}));
}

// The two ways of making the new opere.idb, its pages written in one pass
// and the library's puts, over the same terms and earlier file: the same
// items, in a file the library verifies. Terms whose arrays go to overflow
// pages (over 1007 bytes: 126 entries), one of megabytes, and enough of them
// to fill many bulk puts; earlier items before, between and after them, and
// one a term replaces.
TEST(WriteIndex, PagesAndLibraryPutsGiveTheSameItems) {
  WordIndex index;
  for (int t = 0; t < 5000; ++t) {
    char term[16];
    std::snprintf(term, sizeof term, "T%06d", t * 7);
    const int entries = t == 3 ? 400000 : 1 + (t * 37) % 300;
    for (int e = 0; e < entries; ++e) index.add(term, {e + t, {{'A', 'B'}}});
  }
  const std::vector<StoredItem> earlier = {{"A", "before"},
                                           {"T000007", "replaced"},
                                           {"T0000070", "between"},
                                           {"T\xff", std::string(5000, 'x')},
                                           {"\xff", "after"}};
  std::vector<std::vector<StoredItem>> written;
  for (const IndexWriting writing : {IndexWriting::kLibraryPuts, IndexWriting::kPages}) {
    testing::ScratchDir dir;
    const auto path = dir / "opere.idb";
    IndexDatabaseStart start;
    testing::loadDatabase(path, earlier);
    ASSERT_TRUE(tryCheckIndexDatabase(path, start).ok());
    IndexDatabase database;
    ASSERT_TRUE(tryOpenIndexDatabase(findIndexDatabase(path), start, database, writing).ok());
    ASSERT_TRUE(tryPutTerms(database, index.inTermOrder(), {}).ok());
    ASSERT_TRUE(tryCommitIndexDatabase(database).ok());
    EXPECT_TRUE(testing::verifyDatabase(path));
    written.push_back(testing::dumpDatabase(path));
  }
  EXPECT_EQ(written[0].size(), written[1].size());
  EXPECT_TRUE(written[0] == written[1]);
}

TEST(StoredEntry, IsNumberLittleEndianThenKindCodeThenTwoZeros) {
  EXPECT_EQ(storedEntryOf({-2, {{'a', 'B'}}}),
            (StoredEntry{0xFE, 0xFF, 0xFF, 0xFF, 'a', 'B', 0, 0}));
  EXPECT_EQ(storedEntryOf({300, {{0, 0}}}), (StoredEntry{0x2C, 0x01, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace indicizza
