#include "search/query/year_range.h"

#include <algorithm>

#include "indexing/byte_classes.h"
#include "search/query/query_parser.h"

namespace indicizza {
namespace {

constexpr std::size_t kYearDigits = 4;

// The number `digits` (four ASCII digits) writes.
int yearNumber(std::string_view digits) {
  int number = 0;
  for (const char c : digits) number = number * 10 + (c - '0');
  return number;
}

bool allDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), isDigit); }

// The span of `item` (a typed item) when it is a range of `field`,
// written with either case of the field's letter.
std::optional<YearSpan> rangeOfField(std::string_view item, std::string_view field) {
  if (item.size() <= field.size() || item[field.size()] != kFieldMark) return std::nullopt;
  if (asciiUpper(item.front()) != field.front() ||
      item.substr(1, field.size() - 1) != field.substr(1))
    return std::nullopt;
  return yearSpanOf(item.substr(field.size() + 1));
}

// Where the item of `query` that starts at `at` ends: at a blank, a
// parenthesis or a quote.
std::size_t afterItem(std::string_view query, std::size_t at) {
  while (at < query.size() && !isQuerySpace(query[at]) && query[at] != kOpenGroup &&
         query[at] != kCloseGroup && query[at] != kPhraseQuote) {
    ++at;
  }
  return at;
}

std::size_t afterSpaces(std::string_view query, std::size_t at) {
  while (at < query.size() && isQuerySpace(query[at])) ++at;
  return at;
}

}  // namespace

std::optional<YearSpan> yearSpanOf(std::string_view text) {
  if (text.size() != 2 * kYearDigits + kYearRangeMark.size()) return std::nullopt;
  const std::string_view from = text.substr(0, kYearDigits);
  const std::string_view mark = text.substr(kYearDigits, kYearRangeMark.size());
  const std::string_view to = text.substr(kYearDigits + kYearRangeMark.size());
  if (!allDigits(from) || mark != kYearRangeMark || !allDigits(to)) return std::nullopt;
  return YearSpan{yearNumber(from), yearNumber(to)};
}

bool looksLikeYearRange(std::string_view text) {
  return text.find(kYearRangeMark) != std::string_view::npos &&
         std::all_of(text.begin(), text.end(), [](char c) { return isDigit(c) || c == '.'; });
}

std::string yearRangeTerm(std::string_view field, YearSpan span) {
  return std::string(field) + kFieldMark + std::to_string(span.from) + std::string(kYearRangeMark) +
         std::to_string(span.to);
}

std::string queryWithYearRange(std::string_view query, std::string_view field, YearSpan span) {
  const QueryParse parse = parseQuery(query);
  if (!parse.query) return std::string(query);
  std::string kept;
  bool replaced = false;
  YearSpan within = span;
  if (parse.query->root.kind == NodeKind::kAll) {
    // The items outside parentheses and quotes are the top-level AND's
    // members (it has no OR there); one after NOT is excluded, not a range.
    std::size_t depth = 0;
    std::string_view previous;
    std::size_t at = 0;
    while (at < query.size()) {
      const char c = query[at];
      if (c == kPhraseQuote) {
        const std::size_t close = query.find(kPhraseQuote, at + 1);
        const std::size_t end = close == std::string_view::npos ? query.size() : close + 1;
        kept += query.substr(at, end - at);
        at = end;
        previous = {};
        continue;
      }
      if (c == kOpenGroup || c == kCloseGroup || isQuerySpace(c)) {
        if (c == kOpenGroup) ++depth;
        if (c == kCloseGroup && depth > 0) --depth;
        if (!isQuerySpace(c)) previous = {};
        kept += c;
        ++at;
        continue;
      }
      std::size_t end = afterItem(query, at);
      const std::string_view item = query.substr(at, end - at);
      const std::optional<YearSpan> typed =
          depth == 0 && previous != kNotWord ? rangeOfField(item, field) : std::nullopt;
      if (typed) {
        within = {std::max(within.from, typed->from), std::min(within.to, typed->to)};
        replaced = true;
        end = afterSpaces(query, end);
        // An AND after it would be left with no member before it.
        const std::size_t next = afterItem(query, end);
        if (query.substr(end, next - end) == kAndWord) end = afterSpaces(query, next);
      } else {
        kept += item;
      }
      previous = item;
      at = end;
    }
  }
  const std::string added = "(" + std::string(query) + ") " + yearRangeTerm(field, span);
  if (!replaced || within.from > within.to) return added;
  while (!kept.empty() && isQuerySpace(kept.back())) kept.pop_back();
  std::string narrowed = kept + " " + yearRangeTerm(field, within);
  // What is left must still be a query; adding the range always is one.
  return parseQuery(narrowed).query ? narrowed : added;
}

}  // namespace indicizza
