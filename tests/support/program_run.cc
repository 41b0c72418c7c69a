#include "support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace indicizza::testing {

ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& directory,
                      const std::vector<std::string>& arguments, std::chrono::seconds timeLimit,
                      const SignalOnOutput& signalOnOutput) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  // Standard error goes to an unnamed file read after the program ends, so
  // the two outputs never have to be drained together.
  std::FILE* errorFile = std::tmpfile();
  if (!errorFile) throw std::runtime_error("tmpfile failed");

  std::vector<std::string> argvStrings{program.string()};
  argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) {
    std::fclose(errorFile);
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull < 0 || dup2(devNull, STDIN_FILENO) < 0 || dup2(pipeFds[1], STDOUT_FILENO) < 0 ||
        dup2(fileno(errorFile), STDERR_FILENO) < 0 || chdir(directory.c_str()) != 0) {
      _exit(126);
    }
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  ProgramRun run{"", -1, ""};
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + timeLimit;
  const bool byTime = signalOnOutput.marker.empty();
  bool signalSent = signalOnOutput.signal == 0 && !signalOnOutput.action;
  const auto trigger = [&] {
    if (signalOnOutput.signal != 0) kill(pid, signalOnOutput.signal);
    if (signalOnOutput.action) signalOnOutput.action(pid);
    signalSent = true;
  };
  char chunk[4096];
  ssize_t n;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (!signalSent && byTime && now >= start + signalOnOutput.delay) trigger();
    auto wakeUp = deadline;
    if (!signalSent && byTime) wakeUp = std::min(wakeUp, start + signalOnOutput.delay);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wakeUp - now);
    pollfd readable{pipeFds[0], POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&readable, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0 && wakeUp != deadline) continue;
    if (ready == 0) {
      kill(pid, SIGKILL);
      run.timedOut = true;
      break;
    }
    n = read(pipeFds[0], chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    run.output.append(chunk, static_cast<std::size_t>(n));
    if (!signalSent && !byTime && run.output.find(signalOnOutput.marker) != std::string::npos) {
      trigger();
    }
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::rewind(errorFile);
  while ((n = static_cast<ssize_t>(std::fread(chunk, 1, sizeof chunk, errorFile))) > 0) {
    run.errorOutput.append(chunk, static_cast<std::size_t>(n));
  }
  std::fclose(errorFile);
  if (run.exitStatus == 127) throw std::runtime_error("cannot start " + program.string());
  return run;
}

std::filesystem::path indexerExecutable() { return INDICIZZA_EXECUTABLE; }

ProgramRun runIndexer(const std::filesystem::path& directory,
                      const SignalOnOutput& signalOnOutput) {
  return runProgram(INDICIZZA_EXECUTABLE, directory, {}, kRunTimeLimit, signalOnOutput);
}

}  // namespace indicizza::testing
