// The exit statuses of every catalogo command.
#pragma once

namespace indicizza::catalogo {

inline constexpr int kExitFound = 0;     // the command did its job / found what was asked
inline constexpr int kExitNotFound = 1;  // nothing found, or disagreements found
inline constexpr int kExitFailure = 2;   // missing files, bad input, database errors

}  // namespace indicizza::catalogo
