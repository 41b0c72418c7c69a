#include "search/evaluation/search_pace.h"

#ifdef INDICIZZA_SLOW_SEARCH_MICROSECONDS
#include <chrono>
#include <thread>
#endif

namespace indicizza {

void beforeCheckingRecord() {
#ifdef INDICIZZA_SLOW_SEARCH_MICROSECONDS
  std::this_thread::sleep_for(std::chrono::microseconds(INDICIZZA_SLOW_SEARCH_MICROSECONDS));
#endif
}

}  // namespace indicizza
