// A disk that fills up during the run, end to end: the databases of an
// earlier catalogue live on a small tmpfs (the inputs stay outside, reached
// through symbolic links), and the run loads a new record file over them.
// The disk is made larger step by step, from just the earlier files to room
// for the whole run, so that it fills at every stage: the working copy of
// opere.ddb, the load, the close, the copy of opere.idb, the index write
// and its close.
// Each run ends with "Fine scansione" or with a fatal message, status 1,
// never hangs, and leaves each file whole in its state of before the run or
// of after the phase that changed it, with no working copy left behind. The
// library's lines about the full disk, one per page it failed to write, come
// to one line and a count on standard error.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/library_lines.h"
#include "support/program_run.h"
#include "support/run_states.h"
#include "support/small_disk.h"

namespace indicizza {
namespace {

using testing::RunStates;
using testing::ScratchDir;
using testing::SmallDisk;

// Copies what the run left on the small disk to `to`, through plain reads:
// the library maps small files into memory, and touching a hole of a full
// tmpfs that way raises SIGBUS in the reader.
void copyOff(const SmallDisk& disk, const std::filesystem::path& to, const char* name) {
  if (std::filesystem::exists(disk / name))
    testing::writeFile(to / name, testing::readFile(disk / name));
}

// The fatal message a run ended with (its last line), or "Fine scansione".
std::string lastLine(const std::string& output) {
  const std::size_t end = output.size() - (output.ends_with('\n') ? 1 : 0);
  const std::size_t begin = output.find_last_of('\n', end - 1);
  std::string line = output.substr(begin == std::string::npos ? 0 : begin + 1, end - (begin + 1));
  return line.substr(
      line.find_first_not_of('.') == std::string::npos ? line.size() : line.find_first_not_of('.'));
}

// Whether `line` counts the library's other lines: "(e altre 1.623 righe
// della libreria)", or "(e un'altra riga della libreria)".
bool isCountLine(const std::string& line) {
  if (line == otherLibraryLinesNote(1)) return true;
  const std::string before = "(e altre ";
  const std::string after = " righe della libreria)";
  if (!line.starts_with(before) || !line.ends_with(after)) return false;
  std::string digits = line.substr(before.size(), line.size() - before.size() - after.size());
  std::erase(digits, '.');
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos &&
         line == otherLibraryLinesNote(std::stoull(digits));
}

// Standard error holds what the library said, bounded: nothing, its first
// line, or its first line and the count of the others. Tells whether the
// count was there.
bool expectBoundedLibraryLines(const std::string& errors) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < errors.size();) {
    const std::size_t end = errors.find('\n', at);
    EXPECT_NE(end, std::string::npos) << errors;
    if (end == std::string::npos) break;
    lines.push_back(errors.substr(at, end - at));
    at = end + 1;
  }
  EXPECT_LE(lines.size(), 2u) << errors;
  if (!lines.empty()) {
    EXPECT_TRUE(lines[0].starts_with("BDB")) << errors;
  }
  if (lines.size() < 2) return false;
  EXPECT_TRUE(isCountLine(lines[1])) << errors;
  return true;
}

struct FullDiskCase {
  const char* name;
  std::uint64_t earlierRecords;
  std::uint64_t fileRecords;
  bool onlyTheIndex;  // only opere.idb on the small disk, reached through a symbolic link
  int room;           // the largest disk holds this many times the earlier files
  std::set<std::string> messages;  // each must end at least one of the runs
  friend void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }
};

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDisk, StopsWithTheFilesWholeAtEveryFillLevel) {
  const FullDiskCase& c = GetParam();
  const RunStates states(c.earlierRecords, c.fileRecords);
  ScratchDir inputs;
  states.prepare(inputs.path());
  const auto earlierBytes = std::filesystem::file_size(inputs / "opere.idb") +
                            (c.onlyTheIndex ? 0 : std::filesystem::file_size(inputs / "opere.ddb"));
  constexpr int kLevels = 32;
  std::set<std::string> seen;
  bool counted = false;
  for (int level = 0; level <= kLevels; ++level) {
    // From the earlier files alone to room for `room` times as much.
    const auto kilobytes = static_cast<int>(
        (earlierBytes + earlierBytes * (c.room - 1) * level / kLevels) / 1024 + 16);
    ScratchDir after;
    testing::ProgramRun run;
    {
      SmallDisk disk(inputs / "disk", kilobytes);
      if (!disk.mounted()) GTEST_SKIP() << "no small disk to fill (" << disk.failure() << ")";
      ScratchDir folder;
      const auto runFolder = c.onlyTheIndex ? folder.path() : disk.path();
      states.prepare(inputs.path(), runFolder);
      if (c.onlyTheIndex) {
        std::filesystem::copy_file(runFolder / "opere.idb", disk / "opere.idb");
        std::filesystem::remove(runFolder / "opere.idb");
        std::filesystem::create_symlink(disk / "opere.idb", runFolder / "opere.idb");
      }
      run = testing::runIndexer(runFolder);
      testing::writeFile(after / "opere.ddb", testing::readFile(runFolder / "opere.ddb"));
      copyOff(disk, after.path(), "opere.idb");
      EXPECT_FALSE(std::filesystem::exists(runFolder / "opere.ddb.nuovo")) << kilobytes << " kB";
      EXPECT_FALSE(std::filesystem::exists(disk / "opere.idb.nuovo")) << kilobytes << " kB";
    }  // unmounted here, whatever happened above
    ASSERT_FALSE(run.timedOut) << kilobytes << " kB";
    const std::string ending = lastLine(run.output);
    seen.insert(ending);
    EXPECT_EQ(run.exitStatus, ending == "Fine scansione" ? 0 : 1) << run.output;
    // The transcript is a whole run's up to where it stopped, then its
    // message, whatever the library said on standard error meanwhile.
    const std::string upToTheEnd = run.output.substr(0, run.output.size() - ending.size() - 1);
    EXPECT_TRUE(states.transcript().starts_with(upToTheEnd)) << run.output;
    counted = expectBoundedLibraryLines(run.errorOutput) || counted;
    std::string data;
    std::string index;
    states.expectWholeStates(after.path(), data, index);
  }
  for (const auto& message : c.messages) EXPECT_TRUE(seen.contains(message)) << message;
  // Some put of opere.ddb failed page after page. (opere.idb's pages are
  // written by the program itself, which says nothing on standard error.)
  if (c.messages.contains("put error") && !c.onlyTheIndex) {
    EXPECT_TRUE(counted);
  }
}

// A catalogue of 2000 records makes an opere.ddb of about 1.6 MB and an
// opere.idb of about 660 kB, both beyond the library's cache: a full disk
// fails a put. One of 300 records fits the cache: the close fails instead.
// The new opere.idb is written beside the old one after opere.ddb is put in
// place, its pages one after the other: a full disk fails their writing.
INSTANTIATE_TEST_SUITE_P(
    Run, FullDisk,
    ::testing::Values(
        FullDiskCase{
            "BeyondTheCache",
            1000,
            2000,
            false,
            3,
            {"Errore copia opere.ddb", "put error", "Errore chiusura opere.ddb", "Fine scansione"}},
        FullDiskCase{"WithinTheCache",
                     200,
                     300,
                     false,
                     3,
                     {"Errore copia opere.ddb", "Errore chiusura opere.ddb",
                      "Errore chiusura opere.idb", "Fine scansione"}},
        FullDiskCase{"IndexOnItsOwnDisk", 600, 1200, true, 5, {"put error", "Fine scansione"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
