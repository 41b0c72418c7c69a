// catalogo cifra stopped by SIGINT, SIGTERM or SIGHUP: opere.cry is as it
// was and no working copy (opere.cry.XXXXXX, as large as the new file) is
// left behind, whether the signal comes while lines are read, while the
// last line is awaited (the input then ends: it may be cut short), or while
// the input stays silent (the command answers no more, and is ended at once
// after the grace).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "base/interruption.h"
#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using namespace std::chrono_literals;
using testing::CatalogueDir;

// How long the writer side waits for the command before giving up.
constexpr auto kPatience = 30s;

// What the writer of the input does once the signal is sent.
enum class AfterSignal {
  kCloses,        // the input ends
  kKeepsWriting,  // more lines come
  kStaysSilent,   // no line and no end: the command waits on its read
};

struct InterruptionCase {
  const char* name;
  int signal;
  AfterSignal after;
};

std::vector<std::string> fileNames(const CatalogueDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool hasWorkingCopy(const CatalogueDir& dir) {
  const auto names = fileNames(dir);
  return std::any_of(names.begin(), names.end(),
                     [](const std::string& name) { return name.starts_with("opere.cry."); });
}

// Whether the command `pid` has made its working copy, read every byte
// written to the pipe `fd`, and sleeps: it waits on its read.
bool waitsForInput(const CatalogueDir& dir, int fd, pid_t pid) {
  int unread = 0;
  if (!hasWorkingCopy(dir) || ioctl(fd, FIONREAD, &unread) != 0 || unread != 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields;
  std::getline(stat, fields);
  // "PID (COMMAND) STATE ...": the state follows the command's parenthesis.
  const std::size_t close = fields.rfind(')');
  return close != std::string::npos && fields.substr(close + 1, 3) == " S ";
}

// Writes all of `text` to the non-blocking `fd`; false once the reader is
// gone or `stop` turns true.
bool writeAll(int fd, const std::string& text, const std::atomic<bool>& stop) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EAGAIN && !stop) {
      std::this_thread::sleep_for(1ms);
    } else {
      return false;
    }
  }
  return true;
}

// The writer side of the named pipe `fifo`: header and lines, then, once
// the command has made its working copy, the signal, then `after`.
void feedThenSignal(const CatalogueDir& dir, const std::filesystem::path& fifo, pid_t pid,
                    const InterruptionCase& test, const std::atomic<bool>& finished,
                    std::chrono::steady_clock::time_point& signalled) {
  // The command's end makes writes fail with EPIPE, not kill the tests.
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int fd = -1;
  while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && !finished &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);  // until the command opens its end
  }
  if (fd < 0) return;
  std::string lines = "RecordNumber\tT1\n";
  for (int number = 1; number <= 100; ++number) lines += std::to_string(number) + "\tuno\n";
  writeAll(fd, lines, finished);
  while (!waitsForInput(dir, fd, pid) && !finished && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  signalled = std::chrono::steady_clock::now();
  kill(pid, test.signal);
  if (test.after == AfterSignal::kKeepsWriting) {
    for (int number = 101; writeAll(fd, std::to_string(number) + "\tdue\n", finished); ++number) {}
  }
  if (test.after == AfterSignal::kStaysSilent) {
    while (!finished) std::this_thread::sleep_for(10ms);
  }
  close(fd);
}

class InterruptedEncode : public ::testing::TestWithParam<InterruptionCase> {};

TEST_P(InterruptedEncode, LeavesTheRecordFileAndNoWorkingCopy) {
  CatalogueDir dir;
  testing::writeFile(dir / "opere.cry", "earlier content");
  ASSERT_EQ(mkfifo((dir / "in.tsv").c_str(), 0600), 0);
  std::promise<pid_t> started;
  std::atomic<bool> finished{false};
  std::chrono::steady_clock::time_point signalled;
  std::thread writer([&] {
    feedThenSignal(dir, dir / "in.tsv", started.get_future().get(), GetParam(), finished,
                   signalled);
  });
  testing::SignalOnOutput onStart;
  onStart.action = [&](pid_t pid) { started.set_value(pid); };
  const auto run =
      testing::runProgram(CATALOGO_EXECUTABLE, dir.path(), {"cifra", "in.tsv"},
                          std::chrono::duration_cast<std::chrono::seconds>(kPatience), onStart);
  const auto ended = std::chrono::steady_clock::now();
  finished = true;
  writer.join();
  if (GetParam().after == AfterSignal::kKeepsWriting) {
    // Answered between two lines, not by the end that follows the grace.
    EXPECT_LT(ended - signalled, std::chrono::seconds(kInterruptionGraceSeconds) - 1s);
  }

  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, "Esecuzione interrotta: opere.cry non modificato\n");
  EXPECT_EQ(testing::readFile(dir / "opere.cry"), "earlier content");
  EXPECT_EQ(fileNames(dir), (std::vector<std::string>{"in.tsv", "opere.cry"}));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, InterruptedEncode,
    ::testing::Values(InterruptionCase{"CtrlCWhileLinesCome", SIGINT, AfterSignal::kKeepsWriting},
                      InterruptionCase{"TermWhileLinesCome", SIGTERM, AfterSignal::kKeepsWriting},
                      InterruptionCase{"HangupBeforeTheInputEnds", SIGHUP, AfterSignal::kCloses},
                      InterruptionCase{"CtrlCBeforeTheInputEnds", SIGINT, AfterSignal::kCloses},
                      InterruptionCase{"TermOnASilentInput", SIGTERM, AfterSignal::kStaysSilent},
                      InterruptionCase{"HangupOnASilentInput", SIGHUP, AfterSignal::kStaysSilent}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
