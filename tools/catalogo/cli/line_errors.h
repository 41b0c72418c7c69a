// The errors cifra meets in its input: each written to standard error as it
// comes, up to a limit, then only counted. Only the errors of the line at
// hand are held, however many the input has.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace indicizza::catalogo {

// Past this many, errors are counted but no longer written ("..." once
// marks the cut).
inline constexpr std::size_t kMostReportedErrors = 100;

// Not copyable.
class LineErrors {
 public:
  LineErrors() = default;
  LineErrors(const LineErrors&) = delete;
  LineErrors& operator=(const LineErrors&) = delete;

  // Where the errors of one line go (parseHeader and recordOfRow append to
  // it); report() empties it.
  std::vector<std::string>& pending() { return pending_; }

  // Writes the pending errors that are within the limit, counts all of
  // them, and forgets them.
  void report();

  // Adds `error` and reports it at once.
  void add(std::string error);

  // Every error reported so far, written or not.
  std::size_t count() const { return count_; }

 private:
  std::vector<std::string> pending_;
  std::size_t count_ = 0;
};

}  // namespace indicizza::catalogo
