// Progress of long conversions, on standard error so it never mixes with the
// data a command writes to standard output.
#pragma once

#include <cstdint>

namespace indicizza::catalogo {

// Records converted between two progress dots.
inline constexpr std::uint64_t kRecordsPerDot = 10000;

// Writes "." (flushed) to standard error after every `every` ticks, and ends
// the line of dots in finish() (or the destructor) when it wrote any. Small
// inputs therefore show nothing. Not copyable.
class ErrorStreamProgress {
 public:
  explicit ErrorStreamProgress(std::uint64_t every = kRecordsPerDot) : every_(every) {}
  ~ErrorStreamProgress() { finish(); }
  ErrorStreamProgress(const ErrorStreamProgress&) = delete;
  ErrorStreamProgress& operator=(const ErrorStreamProgress&) = delete;

  void tick();
  void finish();

 private:
  std::uint64_t every_;
  std::uint64_t count_ = 0;
  bool wroteDots_ = false;
};

}  // namespace indicizza::catalogo
