// Runs a program in a directory and captures what it writes to standard
// output and standard error together with its exit status.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace indicizza::testing {

struct ProgramRun {
  std::string output;       // standard output, byte for byte
  int exitStatus;           // the status passed to exit, or 128 + signal number
  std::string errorOutput;  // standard error, byte for byte
  bool timedOut = false;    // killed (SIGKILL) after running past its time limit
};

// How long a run may take before it is taken for hung and killed. Generous:
// the sanitizer builds are slow.
inline constexpr std::chrono::seconds kRunTimeLimit{120};

// Something done to a running program as soon as its standard output holds
// `marker`, or, with an empty marker, once `delay` has passed since its
// start: `signal` is sent to it (none when 0), then `action` (when set) is
// called with its process id.
struct SignalOnOutput {
  int signal = 0;
  std::string marker;
  std::chrono::milliseconds delay{0};
  std::function<void(pid_t)> action;
};

// Runs `program` with `arguments` in `directory`; standard input is
// /dev/null. A program still running after `timeLimit` is killed and
// reported with timedOut. Throws std::runtime_error if the program can't be
// started.
ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& directory,
                      const std::vector<std::string>& arguments = {},
                      std::chrono::seconds timeLimit = kRunTimeLimit,
                      const SignalOnOutput& signalOnOutput = {});

// The indexer built with these tests (build/indicizza).
std::filesystem::path indexerExecutable();

// Runs the indexer built with these tests (build/indicizza) in `directory`.
ProgramRun runIndexer(const std::filesystem::path& directory,
                      const SignalOnOutput& signalOnOutput = {});

}  // namespace indicizza::testing
