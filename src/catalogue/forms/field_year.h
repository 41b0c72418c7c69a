// The year a field's value gives, read from its bytes: what the timeline
// of a search page counts and what a year range of the query language
// (C2:1700..1799) compares. The one rule of what a year is.
#pragma once

#include <optional>
#include <string_view>

namespace indicizza {

// The years a value may give: from the first written music the catalogue
// holds to a little past today. A number of four digits outside them (an
// opus, a catalogue number) is no year.
inline constexpr int kEarliestYear = 1000;
inline constexpr int kLatestYear = 2099;

// The first run of exactly four ASCII digits in `value` (not part of a
// longer run of digits) whose number lies in kEarliestYear..kLatestYear:
// "c. 1720" and "1720-1725" give 1720, "op. 12345" and "0999, 1801" give
// nothing and 1801; nothing when there is none. Bytes, any encoding.
std::optional<int> yearOf(std::string_view value);

}  // namespace indicizza
