// noused.txt as catalogo reads it: the indexer's stop-word rules
// (input/stop_words.h), on a file that must be a regular one. A device or a
// named pipe in its place would be read for ever (/dev/zero, until memory
// runs out) or wait for a writer; the indexer itself is not changed.
#pragma once

#include "base/status.h"
#include "input/stop_words.h"

namespace indicizza {

// The stop words of noused.txt in the current folder, into `set`. Fails,
// described, with kCannotOpen: kStopWordFileOpenFailed when the file is
// missing or can't be opened, "noused.txt non è un file regolare" when it is
// (once links are followed) a directory, a device, a named pipe or a socket;
// kReadFailed: kStopWordFileReadFailed when reading it failed.
Status loadRegularStopWordFile(StopWordSet& set);

}  // namespace indicizza
