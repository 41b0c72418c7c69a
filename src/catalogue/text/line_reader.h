// Lines of a text input read one at a time, none held longer than a limit:
// a longer line is passed over to its end without being kept, so that a
// file holding one huge line (or no line feed at all) costs no more memory
// than the limit.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

// What LineReader::next found.
enum class LineRead {
  kLine,     // a line, in `line`
  kTooLong,  // a line longer than the limit, skipped to its end
  kEnd,      // no more lines (or a read error: see LineReader::failed)
};

// Reads `in` line by line. A line ends with a line feed or with the end of
// the input; a carriage return just before the line feed is dropped. Not
// copyable.
class LineReader {
 public:
  // `longest`: the most bytes a line may hold before its line feed (its
  // carriage return counted).
  LineReader(std::istream& in, std::size_t longest);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, without its line end, into `line` (kLine); kTooLong for
  // a line of more than `longest` bytes, whose bytes are dropped; kEnd at the
  // end of the input.
  LineRead next(std::string& line);

  // Whether reading failed (rather than reaching the end of the input).
  bool failed() const { return in_.bad(); }

 private:
  std::istream& in_;
  // Room for `longest` bytes and getline's terminating zero.
  std::string buffer_;
};

// The lines of a whole text as cifra takes the lines it reads: a
// byte-order mark at the start left out, each line without its line feed
// and the carriage return before it. Views into `text`.
std::vector<std::string_view> textLines(std::string_view text);

}  // namespace indicizza
