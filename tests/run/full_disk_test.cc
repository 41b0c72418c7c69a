// A disk that fills up during the run, end to end: the databases live on a
// small tmpfs (the catalogue stays outside, reached through symbolic links),
// sized so that opere.ddb or opere.idb no longer fits. Whether the library
// fails a put (its cache is full and a page can't be written out) or the
// final close (everything fitted the cache), the run must stop with that
// fatal message and status 1, never report "Fine scansione", never hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "bench/catalogue_generator.h"
#include "support/catalogue_dir.h"
#include "support/small_disk.h"

namespace indicizza {
namespace {

using testing::ScratchDir;
using testing::SmallDisk;

struct FullDiskCase {
  const char* name;
  int records;         // generated catalogue records
  int diskKilobytes;   // size of the tmpfs holding the databases
  // The whole transcript; a '*' stands for any number of dots. Where the
  // library may fail either a put or the close, both endings are listed.
  std::vector<const char*> outputs;
  bool dataDatabaseWhole;  // whether opere.ddb must hold every record afterwards
  friend void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }
};

// Writes a generated catalogue of `records` into `dir`; returns how many
// distinct record numbers it holds (a later record replaces an earlier one).
std::size_t writeCatalogue(const ScratchDir& dir, int records) {
  std::string content;
  std::set<RecordNumber> numbers;
  const ScrambleKey key = buildScrambleKey();
  bench::generateCatalogue({.records = static_cast<std::uint64_t>(records)},
                           [&](const PlainRecord& record) {
                             numbers.insert(recordNumberOf(DecodedRecord::fromPlain(record.bytes())));
                             const auto bytes = record.scrambled(key);
                             content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                           });
  testing::writeFile(dir / "opere.cry", content);
  testing::writeFile(dir / "noused.txt", bench::generatedStopWords());
  return numbers.size();
}

// Copies what the run left on the small disk to `to`, through plain reads:
// the library maps small files into memory, and touching a hole of a full
// tmpfs that way raises SIGBUS in the reader.
void copyOff(const SmallDisk& disk, const std::filesystem::path& to, const char* name) {
  if (std::filesystem::exists(disk / name)) testing::writeFile(to / name, testing::readFile(disk / name));
}

// Whether `output` is `pattern` with each '*' replaced by a run (possibly
// empty) of progress dots. A '*' is never followed by a dot in a pattern.
bool matchesWithDots(std::string_view output, std::string_view pattern) {
  std::size_t at = 0;
  for (char expected : pattern) {
    if (expected == '*') {
      while (at < output.size() && output[at] == '.') ++at;
    } else if (at >= output.size() || output[at++] != expected) {
      return false;
    }
  }
  return at == output.size();
}

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDisk, StopsWithAFatalMessage) {
  const FullDiskCase& c = GetParam();
  ScratchDir dir;
  const std::size_t distinctRecords = writeCatalogue(dir, c.records);
  const auto after = dir / "after";
  std::filesystem::create_directory(after);
  {
    SmallDisk disk(dir / "disk", c.diskKilobytes);
    if (!disk.mounted()) GTEST_SKIP() << "no small disk to fill (" << disk.failure() << ")";
    std::filesystem::create_symlink(dir / "opere.cry", disk / "opere.cry");
    std::filesystem::create_symlink(dir / "noused.txt", disk / "noused.txt");
    testing::loadDatabase(disk / "opere.ddb", {});

    const auto run = testing::runIndexer(disk.path());
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(std::any_of(c.outputs.begin(), c.outputs.end(),
                            [&](const char* pattern) { return matchesWithDots(run.output, pattern); }))
        << run.output;
    EXPECT_EQ(run.exitStatus, 1);
    copyOff(disk, after, "opere.ddb");
    copyOff(disk, after, "opere.idb");
  }  // unmounted here, whatever happened above

  if (c.dataDatabaseWhole) {
    // The data database was closed, checked, before the index was written.
    EXPECT_TRUE(testing::verifyDatabase(after / "opere.ddb"));
    EXPECT_EQ(testing::dumpDatabase(after / "opere.ddb").size(), distinctRecords);
  } else {
    EXPECT_FALSE(std::filesystem::exists(after / "opere.idb"));
  }
}

// A catalogue of 2000 records makes an opere.ddb of about 1.6 MB and an
// opere.idb of about 660 kB, both beyond the library's cache; one of 300
// records about 210 kB and 130 kB, within it.
INSTANTIATE_TEST_SUITE_P(
    Run, FullDisk,
    ::testing::Values(
        FullDiskCase{"WhileLoadingBeyondTheCache", 2000, 256, {"Inizio scansione\n*put error\n"},
                     false},
        FullDiskCase{"WhenClosingTheDataDatabase", 300, 150,
                     {"Inizio scansione\n.\n..\nErrore chiusura opere.ddb\n"}, false},
        FullDiskCase{"WhileWritingTheIndexBeyondTheCache", 2000, 1800,
                     {"Inizio scansione\n..........\n...................\nCreazione db indice\n"
                      "*put error\n",
                      "Inizio scansione\n..........\n...................\nCreazione db indice\n"
                      "*Errore chiusura opere.idb\n"},
                     true},
        FullDiskCase{"WhenClosingTheIndexDatabase", 300, 300,
                     {"Inizio scansione\n.\n..\nCreazione db indice\n*Errore chiusura opere.idb\n"},
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
