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

// A value's line: its count, its text, and its kind code's label or the
// command that narrows to it; every piece from the records, the labels file
// or the query written for a terminal (terminal_text.h).
std::string valueLine(FacetField field, const FacetValue& value, std::string_view query,
                      const FieldLabels& labels) {
  char count[24];
  std::snprintf(count, sizeof count, "%8llu  ", static_cast<unsigned long long>(value.count));
  std::string line = count + terminalText(value.text);
  if (field == FacetField::kKindCode) {
    const std::string label = kindLabel(labels, value.text);
    if (label != value.text) line += "  " + terminalText(label);
  } else if (!value.narrowing.empty()) {
    line += "  -> catalogo cerca " + terminalText(shellWord(narrowedQuery(query, value)));
  }
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
    for (const FacetValue& value : facet.values) lines += valueLine(field, value, query, labels);
    if (facet.otherValues != 0) {
      lines += "          (e altri " + std::to_string(facet.otherValues) + " valori)\n";
    }
  }
  return lines;
}

}  // namespace indicizza::catalogo
