#include "catalogo/cli/facet_lines.h"

#include <cstdio>

#include "catalogue/text/terminal_text.h"

namespace indicizza::catalogo {
namespace {

// `text` as one word for a POSIX shell: in single quotes, a quote written
// as '\''.
std::string shellWord(std::string_view text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// A line's start: the count, right-aligned.
std::string countColumn(std::uint64_t count) {
  char text[24];
  std::snprintf(text, sizeof text, "%8llu  ", static_cast<unsigned long long>(count));
  return text;
}

// A value's line: its count, its text and the command that narrows to it;
// every piece from the records or the query written for a terminal
// (terminal_text.h).
std::string valueLine(const FacetValue& value, std::string_view query) {
  std::string line = countColumn(value.count) + terminalText(value.text);
  if (!value.narrowing.empty())
    line += "  -> catalogo cerca " + terminalText(shellWord(narrowedQuery(query, value)));
  return line + '\n';
}

// A row of the kind facet: its count, its codes and their label, when the
// labels file gives one.
std::string kindLine(const KindRow& row) {
  std::string line = countColumn(row.count);
  for (std::size_t i = 0; i < row.codes.size(); ++i)
    line += (i == 0 ? "" : " ") + terminalText(row.codes[i]);
  if (row.label != row.codes.front()) line += "  " + terminalText(row.label);
  return line + '\n';
}

}  // namespace

std::string facetLines(const FacetCounts& counts, std::string_view query,
                       const FieldLabels& labels) {
  std::string lines = facetSummary(counts) + ":\n";
  for (FacetField field : kFacetFields) {
    const Facet& facet = counts.facet(field);
    if (facet.values.empty()) continue;
    lines += terminalText(facetTitle(field, labels)) + ":\n";
    std::uint64_t others = facet.otherValues;
    if (field == FacetField::kKindCode) {
      const KindFacetRows kinds = kindRows(counts.kindCodes, labels);
      for (const KindRow& row : kinds.rows) lines += kindLine(row);
      others = kinds.otherRows;
    } else {
      for (const FacetValue& value : facet.values) lines += valueLine(value, query);
    }
    if (others != 0) lines += "          (e altri " + std::to_string(others) + " valori)\n";
  }
  return lines;
}

}  // namespace indicizza::catalogo
