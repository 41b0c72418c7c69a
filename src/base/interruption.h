// Interruption of a run by SIGINT (Ctrl-C), SIGTERM (a scheduler's stop) or
// SIGHUP (the terminal or the session went away).
//
// The first signal does not end the process on the spot: the handler takes
// note, the long silent cores look at the note between records (and between
// terms) and give up with kInterrupted, and their phases stop with a fatal
// message, which throws away the working copies (see shadow_file.h) and
// closes the handles on the way out. Should the run not
// answer (a step inside the library that does not return), a second signal,
// or kInterruptionGraceSeconds after the first, ends the process at once
// with the same message: the working copies make that harmless to the files,
// and the next run removes what it left.
//
// SIGPIPE is ignored: a console that can no longer be written (a closed
// pipe, a terminal gone) does not stop the work on the files; the exit status
// still says how the run ended.
//
// A program whose working copy no later run would remove (catalogo cifra,
// see ShadowFile::toWriteBeside) names it with RemovedOnAbruptEnd: ending at
// once removes it first, so only SIGKILL leaves it behind.
#pragma once

#include <filesystem>

namespace indicizza {

// The fatal message of an interrupted run.
inline constexpr const char* kInterruptedMessage = "Esecuzione interrotta";

// How long a run may take to answer an interruption before it is ended.
inline constexpr unsigned kInterruptionGraceSeconds = 3;

// How a process ended at once says so: `message` and a line feed written to
// `descriptor`, then exit status `exitStatus`. The indexer's: its fatal
// message on standard output, exit status 1. `message` must live to the end
// of the process.
struct AbruptEnd {
  int descriptor = 1;
  const char* message = kInterruptedMessage;
  int exitStatus = 1;
};

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, except for those
// already ignored at start (`nohup indicizza` goes on when the session
// ends), and ignores SIGPIPE. Called once, at start; `end` says how ending
// at once is told.
void catchInterruptions(const AbruptEnd& end = {});

// Whether a signal has arrived since the handlers were installed. Silent
// cores look at it between records (and terms) and give up with
// kInterrupted (see status.h); never true where no handler is installed.
bool interruptionPending();

// Fatal stop kInterruptedMessage when a signal has arrived since the
// handlers were installed; otherwise returns at once.
void stopIfInterrupted();

// For a program that answers an interruption on its own way out (a failure
// that unwinds to its entry point) rather than with the fatal stop: whether
// a signal has arrived. If so, the grace timer is stopped, the way out being
// short and sure; a second signal still ends the process at once.
bool answerInterruption();

// While it lives, ending at once removes the file set() named (a working
// copy of the program's own). One at a time: the handler knows one file.
// Not copyable.
class RemovedOnAbruptEnd {
 public:
  RemovedOnAbruptEnd() = default;
  ~RemovedOnAbruptEnd() { clear(); }
  RemovedOnAbruptEnd(const RemovedOnAbruptEnd&) = delete;
  RemovedOnAbruptEnd& operator=(const RemovedOnAbruptEnd&) = delete;

  // Names the file; a path too long for the handler's copy (longer than
  // PATH_MAX) is not named.
  void set(const std::filesystem::path& path);
  // Forgets it.
  void clear();
};

}  // namespace indicizza
