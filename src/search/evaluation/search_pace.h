// The pace at which a search reads the records it checks. At once, except in
// the test-only slow build of the search library (tests/CMakeLists.txt),
// whose searches wait INDICIZZA_SLOW_SEARCH_MICROSECONDS before each record,
// so that a test can end a search while it still runs.
#pragma once

namespace indicizza {

// Called before each record a search reads to check it.
void beforeCheckingRecord();

}  // namespace indicizza
