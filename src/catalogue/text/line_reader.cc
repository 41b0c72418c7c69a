#include "catalogue/text/line_reader.h"

#include <algorithm>
#include <limits>

#include "catalogue/text/utf8.h"

namespace indicizza {

LineReader::LineReader(std::istream& in, std::size_t longest)
    : in_(in), buffer_(longest + 1, '\0') {}

LineRead LineReader::next(std::string& line) {
  if (!in_.good()) return LineRead::kEnd;
  // Stores at most `longest` bytes (and a terminating zero); the line feed
  // is taken but not stored, and counted by gcount().
  in_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  const auto taken = static_cast<std::size_t>(in_.gcount());
  if (in_.bad()) return LineRead::kEnd;
  if (in_.eof()) {
    // The last line, without a line feed; or nothing left at all.
    if (taken == 0) return LineRead::kEnd;
    line.assign(buffer_.data(), taken);
  } else if (in_.fail()) {
    // `longest` bytes stored and no line feed yet: the rest of the line is
    // passed over.
    in_.clear();
    in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    return LineRead::kTooLong;
  } else {
    line.assign(buffer_.data(), taken - 1);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::kLine;
}

std::vector<std::string_view> textLines(std::string_view text) {
  text = withoutByteOrderMark(text);
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

}  // namespace indicizza
