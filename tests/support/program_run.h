// Runs a program in a directory and captures what it writes to standard
// output and standard error together with its exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace indicizza::testing {

struct ProgramRun {
  std::string output;       // standard output, byte for byte
  int exitStatus;           // the status passed to exit, or 128 + signal number
  std::string errorOutput;  // standard error, byte for byte
};

// Runs `program` with `arguments` in `directory`; standard input is
// /dev/null. Throws std::runtime_error if the
// program can't be started.
ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& directory,
                      const std::vector<std::string>& arguments = {});

// Runs the indexer built with these tests (build/indicizza) in `directory`.
ProgramRun runIndexer(const std::filesystem::path& directory);

}  // namespace indicizza::testing
