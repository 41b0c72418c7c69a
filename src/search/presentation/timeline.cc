#include "search/presentation/timeline.h"

#include <algorithm>

#include "catalogue/forms/layout_fields.h"

namespace indicizza {

void tallyYearOf(const DecodedRecord& record, const LayoutField& field, YearTally& tally) {
  const std::string_view value = field.kind == FieldKind::kText ? textField(record, field.number)
                                                                : codeField(record, field.number);
  const std::optional<int> year = yearOf(value);
  if (year) {
    ++tally.byYear[static_cast<std::size_t>(*year - kEarliestYear)];
  } else {
    ++tally.withoutYear;
  }
}

std::uint64_t Timeline::mostInABar() const {
  std::uint64_t most = 0;
  for (const TimelineBar& bar : bars) most = std::max(most, bar.count);
  return most;
}

Timeline timelineOf(const YearTally& tally, std::string_view field) {
  Timeline timeline;
  timeline.field = std::string(field);
  timeline.withoutYear = tally.withoutYear;
  const auto held = [](std::uint64_t count) { return count != 0; };
  const auto first = std::find_if(tally.byYear.begin(), tally.byYear.end(), held);
  if (first == tally.byYear.end()) return timeline;
  const auto last = std::find_if(tally.byYear.rbegin(), tally.byYear.rend(), held);
  const int firstYear = kEarliestYear + static_cast<int>(first - tally.byYear.begin());
  const int lastYear = kLatestYear - static_cast<int>(last - tally.byYear.rbegin());
  timeline.barYears = lastYear - firstYear < kDecadeBarsBelow ? kDecadeYears : kCenturyYears;
  const int step = timeline.barYears;
  for (int from = firstYear / step * step; from <= lastYear; from += step)
    timeline.bars.push_back({{from, from + step - 1}, 0});
  for (int year = firstYear; year <= lastYear; ++year) {
    const std::uint64_t count = tally.byYear[static_cast<std::size_t>(year - kEarliestYear)];
    timeline.bars[static_cast<std::size_t>((year - timeline.bars.front().years.from) / step)]
        .count += count;
  }
  return timeline;
}

std::string timelineTitle(const Timeline& timeline, const FieldLabels& labels) {
  const std::string label = fieldLabel(labels, timeline.field);
  return std::string(timeline.barYears == kDecadeYears ? "Per decennio: " : "Per secolo: ") +
         timeline.field + (label == timeline.field ? "" : " (" + label + ")");
}

std::string barYearsText(const TimelineBar& bar) {
  return std::to_string(bar.years.from) + "-" + std::to_string(bar.years.to);
}

std::string barText(const TimelineBar& bar) {
  return barYearsText(bar) + ": " + std::to_string(bar.count) +
         (bar.count == 1 ? " risultato" : " risultati");
}

std::string withoutYearText(const Timeline& timeline) {
  return "Senza anno: " + std::to_string(timeline.withoutYear);
}

}  // namespace indicizza
