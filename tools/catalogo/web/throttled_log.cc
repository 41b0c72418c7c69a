#include "catalogo/web/throttled_log.h"

#include <utility>

namespace indicizza::catalogo {

ThrottledLog::ThrottledLog(std::function<void(const std::string&)> log, Clock::duration interval)
    : log_(std::move(log)), interval_(interval) {}

void ThrottledLog::write(const std::string& line) {
  std::uint64_t leftOut = 0;
  {
    const std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    if (last_ && now - *last_ < interval_) {
      ++leftOut_;
      return;
    }
    last_ = now;
    leftOut = std::exchange(leftOut_, 0);
  }
  if (leftOut == 0) {
    log_(line);
  } else {
    log_(line + " (e altre " + std::to_string(leftOut) +
         (leftOut == 1 ? " riga come questa non scritta)" : " righe come questa non scritte)"));
  }
}

}  // namespace indicizza::catalogo
