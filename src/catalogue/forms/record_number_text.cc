#include "catalogue/forms/record_number_text.h"

#include <charconv>

namespace indicizza {

std::optional<RecordNumber> recordNumberFromText(std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;  // from_chars takes only '-'
  RecordNumber number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  if (begin == end || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

}  // namespace indicizza
