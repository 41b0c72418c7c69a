// Entry point of the indexer. Takes no arguments (any given are ignored) and
// works on the fixed files of the current directory.
#include "run/console.h"
#include "run/run.h"

int main() {
  try {
    return indicizza::runIndexer();
  } catch (const indicizza::FatalStop&) {
    // The message is out and every handle of the run has been closed.
    return 1;
  }
}
