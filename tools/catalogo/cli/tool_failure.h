// The failure that ends a catalogo command with exit status 2.
#pragma once

#include <stdexcept>
#include <string>

#include "base/status.h"

namespace indicizza::catalogo {

// Thrown where a command can't go on (a missing file, a bad argument, a
// database error); what() is the Italian message the entry point writes to
// standard error. Whatever the command held open is closed on the way out.
struct ToolFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Ends the command when standard output could not take all that was written
// to it (a full disk, a closed pipe): flushes it first.
void checkStandardOutput();

// Ends the command when `status` is a failure, with its text: the read side
// of the catalogue puts its failures in words (see Status::described).
inline void failOn(const Status& status) {
  if (!status.ok()) throw ToolFailure(status.text());
}

}  // namespace indicizza::catalogo
