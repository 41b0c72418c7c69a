// The year range of the query language, written and read: a field mark,
// then two years of four digits joined by "..": C2:1700..1799 keeps the
// records whose year in C2 (catalogue/forms/field_year.h) lies in
// 1700-1799, both included. The parser reads it (query_parser.h); the
// search page writes it for the bars of its timeline.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace indicizza {

// What joins the two years of a range.
inline constexpr std::string_view kYearRangeMark = "..";

// A span of years, both included.
struct YearSpan {
  int from = 0;
  int to = 0;
};

// The span `text` (an item's text after its field mark) writes: exactly
// four digits, "..", four digits; nothing otherwise. The first year may
// follow the last: the parser refuses that.
std::optional<YearSpan> yearSpanOf(std::string_view text);

// Whether `text` is written as a range but not a good one (digits and
// dots holding ".."), for the parser to say how a range is written.
bool looksLikeYearRange(std::string_view text);

// The range `field` (a field name: "C2", "T5") in `span`: "C2:1700..1799".
std::string yearRangeTerm(std::string_view field, YearSpan span);

// `query` (UTF-8, as typed) narrowed to the years `span` of `field`. The
// ranges of `field` that are members of the query's top-level AND, outside
// every parenthesis, are taken out and the one left is `span` within them
// all (so the narrowing keeps exactly the records in both); otherwise the
// range is added, as "(QUERY) RANGE" (also when what the replacement
// leaves would not parse). A query that does not parse is returned as it
// is.
std::string queryWithYearRange(std::string_view query, std::string_view field, YearSpan span);

}  // namespace indicizza
