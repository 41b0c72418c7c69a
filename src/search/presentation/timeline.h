// The timeline of a result set: its records counted by the year one field
// gives (catalogue/forms/field_year.h; the field etichette.txt's ANNO line
// names), then shown by century, or by decade when the years span fewer
// than two centuries, each bar with the year range that narrows a search
// to it (search/query/year_range.h). A FacetCounter keeps the tally beside
// its facets (facets.h). Nothing here prints.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/forms/field_labels.h"
#include "catalogue/forms/field_year.h"
#include "input/decoded_record.h"
#include "search/query/year_range.h"

namespace indicizza {

// Records by year, and those whose field gives none. A fixed array: the
// same memory whatever the records.
struct YearTally {
  std::array<std::uint64_t, kLatestYear - kEarliestYear + 1> byYear{};
  std::uint64_t withoutYear = 0;
};

// Counts `record` in `tally` by the year of `field` (a text or code field,
// layout_fields.h).
void tallyYearOf(const DecodedRecord& record, const LayoutField& field, YearTally& tally);

// Bars of a century; of a decade when the years span fewer than
// kDecadeBarsBelow years (the last year less the first).
inline constexpr int kCenturyYears = 100;
inline constexpr int kDecadeYears = 10;
inline constexpr int kDecadeBarsBelow = 2 * kCenturyYears;

struct TimelineBar {
  YearSpan years;  // a whole century or decade: 1700-1799, 1780-1789
  std::uint64_t count = 0;
};

struct Timeline {
  std::string field;  // the field counted: "C2"
  int barYears = 0;   // kCenturyYears or kDecadeYears
  // From the first bar with a record to the last, the empty ones between
  // included.
  std::vector<TimelineBar> bars;
  std::uint64_t withoutYear = 0;  // counted records whose field gives no year
  // The count of the fullest bar; 0 when there are no bars.
  std::uint64_t mostInABar() const;
};

// The timeline of `tally`, counted by `field`: no bars when no record gave
// a year. At most 11 bars of centuries (1000-2099) or 21 of decades.
Timeline timelineOf(const YearTally& tally, std::string_view field);

// What a front end calls the timeline, with its field's label when
// `labels` give one: "Per secolo: C2 (Anno)", "Per decennio: C2 (Anno)".
std::string timelineTitle(const Timeline& timeline, const FieldLabels& labels);

// A bar's years, "1700-1799", and the bar for people:
// "1700-1799: 12 risultati".
std::string barYearsText(const TimelineBar& bar);
std::string barText(const TimelineBar& bar);

// The records with no year: "Senza anno: 3".
std::string withoutYearText(const Timeline& timeline);

}  // namespace indicizza
