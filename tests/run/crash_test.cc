// Runs stopped the hard way: SIGKILL at points spread over every phase of a
// run that loads a record file over an earlier catalogue, by time and by
// progress dots. Whenever the kill comes, each database verifies and holds
// its state of before the run or of after the phase that changed it, and the
// next run finishes the job as if nothing had happened. Also: a second run
// started in the same folder stops at once, touching nothing.
#include <gtest/gtest.h>

#include <csignal>

#include "support/program_run.h"
#include "support/run_states.h"

namespace indicizza {
namespace {

using testing::RunStates;

// About 30 load dots, 60 scan dots and 130 write dots.
const RunStates& states() {
  static const RunStates states(1000, 6000);
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
  states().prepare(dir.path());
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
  EXPECT_EQ(next.output, transcript);
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

}  // namespace
}  // namespace indicizza
