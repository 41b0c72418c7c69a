#include "run/interruption.h"

#include <csignal>

#include "run/console.h"

namespace indicizza {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterruption(int) { interrupted = 1; }

}  // namespace

void catchInterruptions() {
  struct sigaction action {};
  action.sa_handler = noteInterruption;
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress go on: the run stops at its next check.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void stopIfInterrupted() {
  if (interrupted) fatalStop(kInterruptedMessage);
}

}  // namespace indicizza
