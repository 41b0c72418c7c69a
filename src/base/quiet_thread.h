// Threads of the run other than the main one, which take no signal.
//
// The interruption handlers (see interruption.h) must run on the main
// thread, the one that writes the console: a handler that ends the run at
// once writes its message and ends the process, and nothing may be written
// between the two. So every other thread blocks every signal.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <thread>
#include <utility>

namespace indicizza {

// Starts `work` on a new thread that blocks every signal. Throws what
// std::thread throws when no thread can be started.
template <typename Work>
std::thread startQuietThread(Work work) {
  // The new thread inherits the signal mask of this one.
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before);
  try {
    std::thread thread(std::move(work));
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return thread;
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    throw;
  }
}

// Runs `first` on this thread and `second` on a quiet thread beside it, and
// returns once both are done; one after the other when no thread can be
// started. Neither may throw.
template <typename First, typename Second>
void runSideBySide(First&& first, Second&& second) {
  std::thread beside;
  try {
    beside = startQuietThread([&second] { second(); });
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  first();
  beside.join();
}

}  // namespace indicizza
