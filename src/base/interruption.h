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
#pragma once

namespace indicizza {

// The fatal message of an interrupted run.
inline constexpr const char* kInterruptedMessage = "Esecuzione interrotta";

// How long a run may take to answer an interruption before it is ended.
inline constexpr unsigned kInterruptionGraceSeconds = 3;

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, except for those
// already ignored at start (`nohup indicizza` goes on when the session
// ends), and ignores SIGPIPE. Called once, at start.
void catchInterruptions();

// Whether a signal has arrived since the handlers were installed. Silent
// cores look at it between records (and terms) and give up with
// kInterrupted (see status.h); never true where no handler is installed.
bool interruptionPending();

// Fatal stop kInterruptedMessage when a signal has arrived since the
// handlers were installed; otherwise returns at once.
void stopIfInterrupted();

}  // namespace indicizza
