// Entry point of the indexer. Takes no arguments (any given are ignored) and
// works on the fixed files of the current directory.
#include <new>
#include <stdexcept>

#include "base/berkeley_db.h"
#include "base/console.h"
#include "base/interruption.h"
#include "base/out_of_memory.h"
#include "run/run.h"

int main() {
  indicizza::catchInterruptions();
  // Each database of a run has a cache of its own, used by one thread at a
  // time: a full disk fails a put at once, not after seconds of waiting.
  indicizza::bdb::pauseBriefly();
  try {
    return indicizza::runIndexer();
  } catch (const indicizza::FatalStop&) {
    // The message is out and every handle of the run has been closed.
    return 1;
  } catch (const std::bad_alloc&) {
    // Every handle of the run was closed on the way here. Also the message
    // of a run out of room in the word index's counters, which only memory
    // on that scale could fill.
    indicizza::reportLine(indicizza::kOutOfMemoryMessage);
    return 1;
  } catch (const std::length_error&) {
    indicizza::reportLine(indicizza::kOutOfMemoryMessage);
    return 1;
  }
}
