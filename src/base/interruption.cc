#include "base/interruption.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#ifdef INDICIZZA_SLOW_ANSWER_SECONDS
#include <chrono>
#include <thread>
#endif

#include "base/console.h"

namespace indicizza {
namespace {

// 0 until a signal arrives; kNoted once one has; kReported once the run has
// answered it with its fatal message. Read by every thread of the run and
// written by the handler: a lock-free atomic is both async-signal-safe and
// free of data races.
constexpr int kNoted = 1;
constexpr int kReported = 2;
std::atomic<int> interruption{0};
static_assert(std::atomic<int>::is_always_lock_free);

// How ending at once is told; set before the handlers are installed.
AbruptEnd abruptEnd;

// The file ending at once removes, when `removalNamed` is true: written only
// while `removalNamed` is false, so the handler never reads it half made.
char removalPath[PATH_MAX];
std::atomic<bool> removalNamed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Ends the process now, from a signal handler: only async-signal-safe calls.
[[noreturn]] void endAtOnce() {
  if (removalNamed) unlink(removalPath);
  if (interruption != kReported) {
    // Nothing to be done if the console is gone.
    [[maybe_unused]] ssize_t ignored =
        write(abruptEnd.descriptor, abruptEnd.message, std::strlen(abruptEnd.message));
    ignored = write(abruptEnd.descriptor, "\n", 1);
  }
  _exit(abruptEnd.exitStatus);
}

extern "C" void noteInterruption(int) {
  if (interruption != 0) endAtOnce();
  interruption = kNoted;
  alarm(kInterruptionGraceSeconds);
}

extern "C" void endUnanswered(int) { endAtOnce(); }

// Called before the run answers a signal it has noted: returns at once,
// except in the test-only build of the indexer whose answers come
// INDICIZZA_SLOW_ANSWER_SECONDS late (tests/CMakeLists.txt), so that a test
// sees an unanswered signal end the run.
void beforeAnswering() {
#ifdef INDICIZZA_SLOW_ANSWER_SECONDS
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::seconds(INDICIZZA_SLOW_ANSWER_SECONDS);
  while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
#endif
}

}  // namespace

void catchInterruptions(const AbruptEnd& end) {
  abruptEnd = end;
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress go on: the run stops at its next check.
  action.sa_flags = SA_RESTART;
  action.sa_handler = noteInterruption;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored when the run starts was ignored on purpose (nohup, a
    // background job of a script): it stays ignored.
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    if (before.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
  }
  action.sa_handler = endUnanswered;
  sigaction(SIGALRM, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
}

bool interruptionPending() {
  if (interruption == 0) return false;
  beforeAnswering();
  return true;
}

void stopIfInterrupted() {
  if (interruption == 0) return;
  beforeAnswering();
  interruption = kReported;
  fatalStop(kInterruptedMessage);
}

bool answerInterruption() {
  if (interruption == 0) return false;
  alarm(0);
  return true;
}

void RemovedOnAbruptEnd::set(const std::filesystem::path& path) {
  removalNamed = false;
  const std::string& text = path.native();
  if (text.size() >= sizeof removalPath) return;
  std::memcpy(removalPath, text.c_str(), text.size() + 1);
  removalNamed = true;
}

void RemovedOnAbruptEnd::clear() { removalNamed = false; }

}  // namespace indicizza
