#include "search/evaluation/ranking.h"

#include <algorithm>
#include <cmath>

namespace indicizza {
namespace {

double weighted(const FieldOccurrences& found) {
  double sum = 0;
  for (std::size_t f = 0; f < kTextFieldCount; ++f) sum += kTextFieldWeights[f] * found.text[f];
  for (std::uint32_t code : found.codes) sum += kCodeFieldWeight * code;
  // A phrase that runs across fields has no one field to weigh by.
  return sum + found.acrossFields;
}

}  // namespace

std::vector<const QueryNode*> queryWordsOf(const QueryNode& query) {
  std::vector<const QueryNode*> words;
  if (query.kind != NodeKind::kAll) {
    if (query.kind != NodeKind::kNot) words.push_back(&query);
    return words;
  }
  for (const QueryNode& member : query.children) {
    if (member.kind != NodeKind::kNot) words.push_back(&member);
  }
  return words;
}

std::vector<const QueryNode*> excludedWordsOf(const QueryNode& query) {
  std::vector<const QueryNode*> excluded;
  if (query.kind != NodeKind::kAll) return excluded;
  for (const QueryNode& member : query.children) {
    if (member.kind == NodeKind::kNot) excluded.push_back(&member.children.front());
  }
  return excluded;
}

double rarityOf(std::uint64_t listed, std::uint64_t catalogueSize) {
  const double n = static_cast<double>(std::min(listed, catalogueSize));
  const double size = static_cast<double>(catalogueSize);
  return std::log(1.0 + (size - n + 0.5) / (n + 0.5));
}

double weightedOccurrences(const QueryNode& word, const RecordView& view, Matching matching) {
  switch (word.kind) {
    case NodeKind::kTerm:
    case NodeKind::kPhrase: return weighted(occurrencesOf(word, view, matching));
    case NodeKind::kAny: {
      double sum = 0;
      for (const QueryNode& alternative : word.children)
        sum += weightedOccurrences(alternative, view, matching);
      return sum;
    }
    case NodeKind::kAll: {
      if (!matchesRecord(word, view, matching)) return 0;
      double sum = 0;
      for (const QueryNode& member : word.children)
        sum += weightedOccurrences(member, view, matching);
      return sum;
    }
    case NodeKind::kNot: return 0;
  }
  return 0;
}

double wordScore(double occurrences, double rarity) {
  if (occurrences <= 0) return 0;
  return rarity * occurrences * (kOccurrenceSaturation + 1) / (occurrences + kOccurrenceSaturation);
}

}  // namespace indicizza
