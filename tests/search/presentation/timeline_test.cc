// The timeline: the year a field's value gives, and the bars a tally of
// years makes (centuries or decades, the empty ones between, the records
// with no year).
#include "search/presentation/timeline.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "catalogue/forms/layout_fields.h"
#include "input/plain_record.h"

namespace indicizza {
namespace {

struct YearCase {
  const char* name;
  std::string value;
  std::optional<int> year;
};

class Years : public ::testing::TestWithParam<YearCase> {};

TEST_P(Years, AreTheFirstFourDigitsInRange) {
  EXPECT_EQ(yearOf(GetParam().value), GetParam().year);
}

INSTANTIATE_TEST_SUITE_P(Timeline, Years,
                         ::testing::Values(YearCase{"Circa", "c. 1720", 1720},
                                           YearCase{"BeforeTheEarliest", "0999", std::nullopt},
                                           YearCase{"AfterTheLatest", "2100", std::nullopt},
                                           YearCase{"OutOfRangeThenAYear", "0999, 1801", 1801},
                                           YearCase{"LongerRunIsNoYear", "op. 12345", std::nullopt},
                                           YearCase{"LongerRunThenAYear", "BWV 12345 1725", 1725},
                                           YearCase{"ShortRunIsNoYear", "K. 331", std::nullopt},
                                           YearCase{"GluedToLetters", "BWV1001", 1001}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BarsCase {
  const char* name;
  std::vector<std::string> values;  // the year field's value of each record
  std::string bars;                 // "from-to:count" joined by blanks, then "/without"
};

class Bars : public ::testing::TestWithParam<BarsCase> {};

TEST_P(Bars, AreCenturiesOrDecadesFromTheFirstToTheLast) {
  const LayoutField& field = *findLayoutField("C2");
  YearTally tally;
  for (const std::string& value : GetParam().values) {
    const PlainRecord plain = PlainRecord().recordNumber(1).codeField(2, value);
    tallyYearOf(DecodedRecord::fromPlain(plain.bytes()), field, tally);
  }
  const Timeline timeline = timelineOf(tally, "C2");
  std::string bars;
  for (const TimelineBar& bar : timeline.bars)
    bars += barYearsText(bar) + ":" + std::to_string(bar.count) + " ";
  EXPECT_EQ(bars + "/" + std::to_string(timeline.withoutYear), GetParam().bars);
}

INSTANTIATE_TEST_SUITE_P(
    Timeline, Bars,
    ::testing::Values(
        BarsCase{"NoYearNoBars", {"", "op. 2"}, "/2"},
        BarsCase{"DecadesWithTheEmptyOnesBetween",
                 {"1719", "1720", "1729", "1745", "x"},
                 "1710-1719:1 1720-1729:2 1730-1739:0 1740-1749:1 /1"},
        // 199 years apart: still decades, twenty of them.
        BarsCase{"JustUnderTwoCenturiesIsDecades",
                 {"1700", "1899"},
                 "1700-1709:1 1710-1719:0 1720-1729:0 1730-1739:0 1740-1749:0 1750-1759:0 "
                 "1760-1769:0 1770-1779:0 1780-1789:0 1790-1799:0 1800-1809:0 1810-1819:0 "
                 "1820-1829:0 1830-1839:0 1840-1849:0 1850-1859:0 1860-1869:0 1870-1879:0 "
                 "1880-1889:0 1890-1899:1 /0"},
        BarsCase{"TwoCenturiesApartIsCenturies",
                 {"1700", "1900", "1750"},
                 "1700-1799:2 1800-1899:0 1900-1999:1 /0"},
        BarsCase{"WholeRangeIsElevenCenturies",
                 {"2099", "1000"},
                 "1000-1099:1 1100-1199:0 1200-1299:0 1300-1399:0 1400-1499:0 1500-1599:0 "
                 "1600-1699:0 1700-1799:0 1800-1899:0 1900-1999:0 2000-2099:1 /0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
