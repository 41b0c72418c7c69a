// The failure that ends a catalogo command with exit status 2.
#pragma once

#include <stdexcept>
#include <string>

namespace indicizza::catalogo {

// Thrown where a command can't go on (a missing file, a bad argument, a
// database error); what() is the Italian message the entry point writes to
// standard error. Whatever the command held open is closed on the way out.
struct ToolFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace indicizza::catalogo
