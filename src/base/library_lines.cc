#include "base/library_lines.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace indicizza {
namespace {

// Where the lines go now, and the default's account of them. Made once and
// never destroyed: a thread of the library may still hand over a line while
// the program ends.
struct Router {
  std::mutex mutex;
  LibraryLineSink sink;  // empty: the default, to standard error
  BoundedLines toStandardError;
};

Router& router() {
  static Router* const instance = new Router;
  return *instance;
}

void writeToStandardError(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// At the end of the program: how many lines came after the one written.
extern "C" void writeOtherLinesCount() {
  Router& r = router();
  // A thread still inside the library at the end is not waited for.
  if (!r.mutex.try_lock()) return;
  const std::string note = otherLibraryLinesNote(r.toStandardError.others());
  if (!note.empty()) writeToStandardError(note);
  r.mutex.unlock();
}

}  // namespace

void deliverLibraryLine(std::string_view line) {
  Router& r = router();
  const std::lock_guard lock(r.mutex);
  if (r.sink) {
    r.sink(line);
    return;
  }
  if (r.toStandardError.count == 0) {
    writeToStandardError(line);
    std::atexit(writeOtherLinesCount);
  }
  r.toStandardError.add(line);
}

LibraryLineRoute::LibraryLineRoute(LibraryLineSink sink) {
  Router& r = router();
  const std::lock_guard lock(r.mutex);
  previous_ = std::exchange(r.sink, std::move(sink));
}

LibraryLineRoute::~LibraryLineRoute() {
  Router& r = router();
  const std::lock_guard lock(r.mutex);
  r.sink = std::move(previous_);
}

void BoundedLines::add(std::string_view line) {
  if (count++ == 0) first = line;
}

GatheredLibraryLines::GatheredLibraryLines()
    : route_([this](std::string_view line) {
        const std::lock_guard lock(mutex_);
        lines_.add(line);
      }) {}

BoundedLines GatheredLibraryLines::lines() const {
  const std::lock_guard lock(mutex_);
  return lines_;
}

std::string withThousandsDots(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ".");
  return digits;
}

std::string otherLibraryLinesNote(std::uint64_t others) {
  if (others == 0) return {};
  if (others == 1) return "(e un'altra riga della libreria)";
  return "(e altre " + withThousandsDots(others) + " righe della libreria)";
}

}  // namespace indicizza
