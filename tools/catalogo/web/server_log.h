// The log of `catalogo servi`: one line per event on standard error, with
// the local date and time. Safe to call from several threads at once.
#pragma once

#include <string_view>

namespace indicizza::catalogo {

// Writes "YYYY-MM-DD HH:MM:SS TEXT" and a line feed to standard error, in
// one write. Control characters in `text` (a query may hold a line feed, or
// U+009B, which some terminals take for ESC [) are written as '?', so that
// one event is always one line, and bytes that are not UTF-8 as U+FFFD, so
// that the journal keeps it as text (logText).
void logLine(std::string_view text);

}  // namespace indicizza::catalogo
