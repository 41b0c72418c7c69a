// Interruption of a run by SIGINT (Ctrl-C) or SIGTERM (a scheduler's stop).
//
// A signal never ends the process on the spot: the data database holds the
// catalogue of every earlier run, and a process killed between two page
// writes can leave it damaged. The handler only takes note; the phases look
// at the note between records (and between terms) and stop with a fatal
// message, so that the database handles are closed on the way out and what
// was put reaches the files.
#pragma once

namespace indicizza {

// The fatal message of an interrupted run.
inline constexpr const char* kInterruptedMessage = "Esecuzione interrotta";

// Installs the handlers for SIGINT and SIGTERM. Called once, at start.
void catchInterruptions();

// Fatal stop kInterruptedMessage when a signal has arrived since the
// handlers were installed; otherwise returns at once.
void stopIfInterrupted();

}  // namespace indicizza
