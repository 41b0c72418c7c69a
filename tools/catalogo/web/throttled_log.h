// Log lines of one kind of event that a client can cause at will (a search
// past its deadline, a full queue): at most one every `interval`, so that a
// flood of them can't bury the rest of the log; the line written after a
// quiet spell says how many were left out.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace indicizza::catalogo {

inline constexpr auto kThrottledLogInterval = std::chrono::seconds(10);

class ThrottledLog {
 public:
  // Lines go to `log`. Safe from several threads at once.
  explicit ThrottledLog(std::function<void(const std::string&)> log,
                        std::chrono::steady_clock::duration interval = kThrottledLogInterval);
  ThrottledLog(const ThrottledLog&) = delete;
  ThrottledLog& operator=(const ThrottledLog&) = delete;

  // Writes `line` when no line was written in the last interval, followed by
  // " (e altre N righe come questa non scritte)" when N were left out since;
  // otherwise only counts it.
  void write(const std::string& line);

 private:
  using Clock = std::chrono::steady_clock;
  const std::function<void(const std::string&)> log_;
  const Clock::duration interval_;
  std::mutex mutex_;
  std::optional<Clock::time_point> last_;
  std::uint64_t leftOut_ = 0;
};

}  // namespace indicizza::catalogo
