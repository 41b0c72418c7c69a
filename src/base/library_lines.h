// The library's own lines, and where they go.
//
// Besides the result a call returns, Berkeley DB explains some failures in
// English lines of its own ("BDB0137 write: opere.idb.nuovo: No space left
// on device"). Left to itself it writes each one to standard error, the
// default every new handle has: on a full disk, one line for every page it
// fails to write, well over a thousand. The thin layer (berkeley_db.h) gives
// every handle one callback instead, which hands each line here; from here
// the lines go to one sink at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace indicizza {

// Receives the library's lines, one per call, without a line end.
using LibraryLineSink = std::function<void(std::string_view line)>;

// Hands `line` to the sink of the innermost LibraryLineRoute alive, or, with
// none, to the default: standard error, bounded (the first line at once, the
// others counted, and their count, as otherLibraryLinesNote words it, written
// as a line of its own when the program ends by exit or by returning from
// main). Calls reach a sink one at a time, from whatever thread the library
// call that wrote the line runs on. Called by the thin layer only.
void deliverLibraryLine(std::string_view line);

// Sends the library's lines to `sink` while it lives, then back to where
// they went before; routes nest, ending in the reverse of the order they
// began. A program that keeps a log (a server) routes the lines there for
// as long as it serves. The sink runs under a lock that every line takes,
// so it needs no lock of its own for what only it touches; it must not call
// the library, nor begin or end a route. Not copyable.
class LibraryLineRoute {
 public:
  explicit LibraryLineRoute(LibraryLineSink sink);
  ~LibraryLineRoute();
  LibraryLineRoute(const LibraryLineRoute&) = delete;
  LibraryLineRoute& operator=(const LibraryLineRoute&) = delete;

 private:
  LibraryLineSink previous_;
};

// A bounded account of a stream of lines: the first kept whole, the others
// only counted.
struct BoundedLines {
  std::string first;
  std::uint64_t count = 0;  // the first included

  void add(std::string_view line);
  std::uint64_t others() const { return count == 0 ? 0 : count - 1; }
};

// The library's lines gathered while it lives (a route to itself), for a
// command-line tool to show after its own message. Not copyable.
class GatheredLibraryLines {
 public:
  GatheredLibraryLines();
  GatheredLibraryLines(const GatheredLibraryLines&) = delete;
  GatheredLibraryLines& operator=(const GatheredLibraryLines&) = delete;

  // What has come so far; safe from any thread.
  BoundedLines lines() const;

 private:
  mutable std::mutex mutex_;
  BoundedLines lines_;
  LibraryLineRoute route_;  // last: routed once the rest is made, unrouted first
};

// `value` with a dot between groups of three digits, as Italian writes
// numbers: 1623 -> "1.623".
std::string withThousandsDots(std::uint64_t value);

// The line that stands for the library's lines after the first:
// "(e altre 1.623 righe della libreria)", "(e un'altra riga della
// libreria)" for one; empty for none.
std::string otherLibraryLinesNote(std::uint64_t others);

}  // namespace indicizza
