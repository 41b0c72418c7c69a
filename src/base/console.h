// Console reporting shared by every phase of the run: message lines, the
// fatal stop and progress dots. They all go to standard output, in program
// order, so a message stands on the line right after the dots already
// written on it; only notes beside the transcript go to standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace indicizza {

// Writes `text` and a line feed to standard output, then flushes. An empty
// text writes a bare line end (used to end a line of dots).
void reportLine(std::string_view text);

// Writes `text` and a line feed to standard error: a detail beside the
// transcript (why a file is refused), never part of it.
void noteLine(std::string_view text);

// Thrown by fatalStop after its message is out. Only the entry point catches
// it: on the way there every open handle is destroyed, so what was put into a
// database reaches its file before the process ends with status 1.
struct FatalStop {};

// Reports `text` as a line, then ends the run with exit status 1 by throwing
// FatalStop. Never returns. Called by the code that detects the failure.
[[noreturn]] void fatalStop(std::string_view text);

// Counts events of one phase and writes one "." (no line feed, flushed) each
// time the count reaches the threshold, then starts counting from 0 again.
// The first dot therefore follows the threshold-th event.
class ProgressCounter {
 public:
  explicit ProgressCounter(std::uint32_t threshold) : threshold_(threshold) {}

  void tick();
  // `events` ticks in a row.
  void tick(std::size_t events) {
    for (; events > 0; --events) tick();
  }

 private:
  std::uint32_t threshold_;
  std::uint32_t count_ = 0;
};

// Event thresholds of the three phases' counters.
inline constexpr std::uint32_t kLoadDotEvery = 200;
inline constexpr std::uint32_t kScanDotEvery = 100;
inline constexpr std::uint32_t kWriteDotEvery = 100;

}  // namespace indicizza
