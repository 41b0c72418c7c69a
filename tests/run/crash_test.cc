// Runs stopped the hard way: SIGKILL at points spread over every phase of a
// run that loads a record file over an earlier catalogue (the earlier run's
// very files, so that only the file's records are read into terms), by time
// and by progress dots. Whenever the kill comes, each database verifies and holds
// its state of before the run or of after the phase that changed it, and the
// next run finishes the job as if nothing had happened. Also: a second run
// started in the same folder, or in one whose links reach files of the
// same folder, stops at once, touching nothing.
#include <gtest/gtest.h>

#include <csignal>

#include "support/program_run.h"
#include "support/run_states.h"

namespace indicizza {
namespace {

using testing::RunStates;

// About 5 load dots, 90 scan dots and 200 write dots: a file of an eighth
// of the records stored at most, as an increment that reads only its own
// records must be.
const RunStates& states() {
  static const RunStates states(9000, 1000);
  return states;
}

struct KillPoint {
  const char* name;
  double share;  // of a whole run's time, or of its transcript
  bool byTime;
  friend void PrintTo(const KillPoint& p, std::ostream* os) { *os << p.name; }
};

class Crash : public ::testing::TestWithParam<KillPoint> {};

TEST_P(Crash, LeavesEachFileWholeAndTheNextRunFinishes) {
  testing::ScratchDir dir;
  states().prepareLinked(dir.path());
  testing::SignalOnOutput kill;
  kill.signal = SIGKILL;
  const auto& transcript = states().transcript();
  if (GetParam().byTime) {
    kill.delay = std::chrono::milliseconds(
        static_cast<long>(GetParam().share * static_cast<double>(states().duration().count())));
  } else {
    kill.marker = transcript.substr(
        0, static_cast<std::size_t>(GetParam().share * static_cast<double>(transcript.size())));
    if (kill.marker.size() < 17) kill.marker = "Inizio scansione\n";
  }
  const auto run = testing::runIndexer(dir.path(), kill);
  EXPECT_TRUE(run.exitStatus == 128 + SIGKILL || (run.exitStatus == 0 && run.output == transcript))
      << run.exitStatus << "\n"
      << run.output;
  std::string data;
  std::string index;
  states().expectWholeStates(dir.path(), data, index);

  const auto next = testing::runIndexer(dir.path());
  EXPECT_EQ(next.output, transcript) << "its standard error:\n" << next.errorOutput;
  states().expectWholeStates(dir.path(), data, index);
  EXPECT_EQ(data + " " + index, "after after");
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.ddb.nuovo"));
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb.nuovo"));
}

INSTANTIATE_TEST_SUITE_P(
    Run, Crash,
    ::testing::Values(KillPoint{"AtTheFirstLine", 0, false}, KillPoint{"AtOutput10", 0.1, false},
                      KillPoint{"AtOutput20", 0.2, false}, KillPoint{"AtOutput30", 0.3, false},
                      KillPoint{"AtOutput40", 0.4, false}, KillPoint{"AtOutput50", 0.5, false},
                      KillPoint{"AtOutput60", 0.6, false}, KillPoint{"AtOutput70", 0.7, false},
                      KillPoint{"AtOutput80", 0.8, false}, KillPoint{"AtOutput90", 0.9, false},
                      KillPoint{"AtOutput99", 0.99, false}, KillPoint{"AtTime5", 0.05, true},
                      KillPoint{"AtTime15", 0.15, true}, KillPoint{"AtTime25", 0.25, true},
                      KillPoint{"AtTime35", 0.35, true}, KillPoint{"AtTime45", 0.45, true},
                      KillPoint{"AtTime55", 0.55, true}, KillPoint{"AtTime65", 0.65, true},
                      KillPoint{"AtTime75", 0.75, true}, KillPoint{"AtTime85", 0.85, true},
                      KillPoint{"AtTime95", 0.95, true}, KillPoint{"AtTime100", 1.0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The database library, left to create a file itself, first makes it under
// a temporary name (__db.NAME) and then renames it: a run killed between the
// two left that name behind, and every later run waited 100 seconds on it and
// stopped with "Errore copia opere.idb". Files of that kind, left by such a
// run, must not stop the next one.
TEST(Crash, TheLibrarysTemporaryNamesLeftByAKilledCreateDoNotStopTheNextRun) {
  testing::ScratchDir dir;
  states().prepare(dir.path());
  for (const char* name : {"__db.opere.idb.nuovo", "__db.opere.ddb.nuovo"})
    testing::writeFile(dir / name, "");
  const auto run = testing::runIndexer(dir.path());
  EXPECT_EQ(run.output, states().transcript()) << run.errorOutput;
  std::string data;
  std::string index;
  states().expectWholeStates(dir.path(), data, index);
  EXPECT_EQ(data + " " + index, "after after");
}

TEST(Crash, ASecondRunInTheSameFolderStopsAtOnce) {
  testing::ScratchDir dir;
  states().prepare(dir.path());
  testing::ProgramRun second;
  testing::SignalOnOutput meanwhile;
  meanwhile.marker = "Inizio scansione\n.";
  meanwhile.action = [&](pid_t first) {
    kill(first, SIGSTOP);
    second = testing::runIndexer(dir.path());
    kill(first, SIGCONT);
  };
  const auto first = testing::runIndexer(dir.path(), meanwhile);
  EXPECT_EQ(second.output, "Inizio scansione\nCatalogo in uso da un'altra esecuzione\n");
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_EQ(first.output, states().transcript());
  std::string data;
  std::string index;
  states().expectWholeStates(dir.path(), data, index);
  EXPECT_EQ(data + " " + index, "after after");
}

// Two catalogue folders whose database links reach files of one folder:
// each run makes its working copies beside those files, so the second
// refuses to start, as in one folder, touching nothing of its own either.
struct SharedFolderCase {
  const char* name;
  // Makes `second` a catalogue of its own whose links share a folder with
  // `first` (prepared with states()); `elsewhere` is a third folder.
  void (*share)(const std::filesystem::path& first, const std::filesystem::path& second,
                const std::filesystem::path& elsewhere);
  friend void PrintTo(const SharedFolderCase& c, std::ostream* os) { *os << c.name; }
};

class SharedFolders : public ::testing::TestWithParam<SharedFolderCase> {};

TEST_P(SharedFolders, RefuseASecondRunAsOneFolderDoes) {
  testing::ScratchDir first;
  testing::ScratchDir second;
  testing::ScratchDir elsewhere;
  states().prepare(first.path());
  for (const char* name : {"opere.cry", "noused.txt", "opere.ddb", "opere.idb"})
    std::filesystem::copy_file(first / name, second / name);
  GetParam().share(first.path(), second.path(), elsewhere.path());
  std::filesystem::copy(
      second.path(), elsewhere / "second-before",
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);

  testing::ProgramRun secondRun;
  testing::SignalOnOutput meanwhile;
  meanwhile.marker = "Inizio scansione\n.";
  meanwhile.action = [&](pid_t firstRun) {
    kill(firstRun, SIGSTOP);
    secondRun = testing::runIndexer(second.path());
    kill(firstRun, SIGCONT);
  };
  const auto firstRun = testing::runIndexer(first.path(), meanwhile);
  EXPECT_EQ(secondRun.output, "Inizio scansione\nCatalogo in uso da un'altra esecuzione\n");
  EXPECT_EQ(secondRun.exitStatus, 1);
  EXPECT_EQ(firstRun.output, states().transcript());
  std::string data;
  std::string index;
  states().expectWholeStates(first.path(), data, index);
  EXPECT_EQ(data + " " + index, "after after");
  // The second folder's own files, and where its links point, are as they
  // were.
  for (const char* name : {"opere.ddb", "opere.idb"}) {
    const auto path = second / name;
    const auto before = elsewhere / "second-before" / name;
    EXPECT_EQ(std::filesystem::is_symlink(path), std::filesystem::is_symlink(before)) << name;
    if (std::filesystem::is_symlink(path)) {
      EXPECT_EQ(std::filesystem::read_symlink(path), std::filesystem::read_symlink(before));
    } else {
      EXPECT_EQ(testing::readFile(path), testing::readFile(before)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(second / (std::string(name) + ".nuovo"))) << name;
  }
}

// Replaces `second`'s `name` by a link to `target`.
void linkTo(const std::filesystem::path& target, const std::filesystem::path& second,
            const char* name) {
  std::filesystem::remove(second / name);
  std::filesystem::create_symlink(target, second / name);
}

INSTANTIATE_TEST_SUITE_P(
    Crash, SharedFolders,
    ::testing::Values(SharedFolderCase{"DataLinkedIntoTheFirst",
                                       [](const auto& first, const auto& second, const auto&) {
                                         linkTo(first / "opere.ddb", second, "opere.ddb");
                                       }},
                      SharedFolderCase{"IndexLinkedIntoTheFirst",
                                       [](const auto& first, const auto& second, const auto&) {
                                         linkTo(first / "opere.idb", second, "opere.idb");
                                       }},
                      // Both reach one file of a third folder, each through a link.
                      SharedFolderCase{
                          "DataOfBothInAThirdFolder",
                          [](const auto& first, const auto& second, const auto& elsewhere) {
                            std::filesystem::rename(first / "opere.ddb", elsewhere / "dati.ddb");
                            linkTo(elsewhere / "dati.ddb", first, "opere.ddb");
                            linkTo(elsewhere / "dati.ddb", second, "opere.ddb");
                          }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
