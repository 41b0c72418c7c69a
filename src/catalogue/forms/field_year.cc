#include "catalogue/forms/field_year.h"

#include "indexing/byte_classes.h"

namespace indicizza {

std::optional<int> yearOf(std::string_view value) {
  constexpr std::size_t kYearDigits = 4;
  std::size_t at = 0;
  while (at < value.size()) {
    if (!isDigit(value[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    int number = 0;
    while (end < value.size() && isDigit(value[end])) {
      if (end - at < kYearDigits) number = number * 10 + (value[end] - '0');
      ++end;
    }
    if (end - at == kYearDigits && number >= kEarliestYear && number <= kLatestYear) return number;
    at = end;
  }
  return std::nullopt;
}

}  // namespace indicizza
