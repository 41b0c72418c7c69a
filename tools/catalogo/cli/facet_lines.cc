#include "catalogo/cli/facet_lines.h"

#include <cstdio>

namespace indicizza::catalogo {
namespace {

// `text` as one word for a POSIX shell: in single quotes, a quote written
// as '\''.
std::string shellWord(std::string_view text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// The heading of one facet: "Per tipo:", "Per T1 (Compositore):".
std::string headingOf(FacetField field, const FieldLabels& labels) {
  if (field == FacetField::kKindCode) return "Per tipo:";
  const std::string name = "T" + std::to_string(field == FacetField::kComposer ? kComposerField
                                                                                : kPeriodField);
  const std::string label = fieldLabel(labels, name);
  return "Per " + name + (label == name ? "" : " (" + label + ")") + ":";
}

std::string valueLine(FacetField field, const FacetValue& value, std::string_view query,
                      const FieldLabels& labels) {
  char count[24];
  std::snprintf(count, sizeof count, "%8llu  ", static_cast<unsigned long long>(value.count));
  std::string line = count + value.text;
  if (field == FacetField::kKindCode) {
    const std::string label = kindLabel(labels, value.text);
    if (label != value.text) line += "  " + label;
  } else if (!value.narrowing.empty()) {
    line += "  -> catalogo cerca " + shellWord(narrowedQuery(query, value));
  }
  return line + '\n';
}

}  // namespace

std::string facetLines(const FacetCounts& counts, std::string_view query,
                       const FieldLabels& labels) {
  std::string lines = counts.exact() ? "Faccette dei " + std::to_string(counts.results) +
                                           " risultati:\n"
                                     : "Faccette dei primi " + std::to_string(counts.counted) +
                                           " di circa " + std::to_string(counts.results) +
                                           " risultati:\n";
  for (FacetField field : kFacetFields) {
    const Facet& facet = counts.facet(field);
    if (facet.values.empty()) continue;
    lines += headingOf(field, labels) + '\n';
    for (const FacetValue& value : facet.values) lines += valueLine(field, value, query, labels);
    if (facet.otherValues != 0) {
      lines += "          (e altri " + std::to_string(facet.otherValues) + " valori)\n";
    }
  }
  return lines;
}

}  // namespace indicizza::catalogo
