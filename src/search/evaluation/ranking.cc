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
    if (!isFilter(query)) words.push_back(&query);
    return words;
  }
  for (const QueryNode& member : query.children) {
    if (!isFilter(member)) words.push_back(&member);
  }
  return words;
}

std::vector<const QueryNode*> yearRangesOf(const QueryNode& query) {
  std::vector<const QueryNode*> ranges;
  if (query.kind != NodeKind::kAll) return ranges;
  for (const QueryNode& member : query.children) {
    if (member.kind == NodeKind::kYearRange) ranges.push_back(&member);
  }
  return ranges;
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
      // An OR the reading made of one typed word carries that word's
      // source, as its first member, the word as typed, does; the forms it
      // was read as weigh a little less, so a record that says what was
      // typed comes before one that says it otherwise. The members of an
      // OR typed as such weigh alike.
      const bool formsOfOneWord =
          !word.children.empty() && word.children.front().source == word.source;
      double sum = 0;
      for (std::size_t a = 0; a < word.children.size(); ++a) {
        const double weight = a == 0 || !formsOfOneWord ? 1.0 : kAlternativeWeight;
        sum += weight * weightedOccurrences(word.children[a], view, matching);
      }
      return sum;
    }
    case NodeKind::kAll: {
      if (!matchesRecord(word, view, matching)) return 0;
      double sum = 0;
      for (const QueryNode& member : word.children)
        sum += weightedOccurrences(member, view, matching);
      return sum;
    }
    case NodeKind::kNot:
    case NodeKind::kYearRange: return 0;
  }
  return 0;
}

namespace {

// Where `word` (a term, or an OR of terms) is found among the text fields'
// tokens: (field, token) pairs. Nothing for other words.
std::vector<std::pair<std::size_t, std::size_t>> placesOf(const QueryNode& word,
                                                          const RecordView& view,
                                                          Matching matching) {
  std::vector<std::pair<std::size_t, std::size_t>> places;
  if (word.kind == NodeKind::kAny) {
    for (const QueryNode& alternative : word.children) {
      const auto more = placesOf(alternative, view, matching);
      places.insert(places.end(), more.begin(), more.end());
    }
    return places;
  }
  if (word.kind != NodeKind::kTerm || word.scope == FieldScope::kCodeField) return places;
  const std::string wanted = comparableTerm(word.tokens.front(), matching);
  for (std::size_t f = 0; f < kTextFieldCount; ++f) {
    if (word.scope == FieldScope::kTextField && f + 1 != static_cast<std::size_t>(word.field))
      continue;
    for (std::size_t t = 0; t < view.tokens[f].size(); ++t) {
      const std::string& token = view.tokens[f][t];
      if (word.prefix ? token.starts_with(wanted) : token == wanted) places.emplace_back(f, t);
    }
  }
  return places;
}

}  // namespace

double togetherBonus(const std::vector<const QueryNode*>& words,
                     const std::vector<double>& rarities, const RecordView& view,
                     Matching matching) {
  if (words.size() < 2) return 0;  // nothing to hold together
  double bonus = 0;
  std::vector<std::pair<std::size_t, std::size_t>> before;
  for (std::size_t w = 0; w < words.size(); ++w) {
    const auto places = placesOf(*words[w], view, matching);
    if (w > 0 && !before.empty() && !places.empty()) {
      bool sameField = false;
      bool inOrder = false;
      for (const auto& [field, token] : places) {
        for (const auto& [earlierField, earlierToken] : before) {
          sameField = sameField || field == earlierField;
          inOrder = inOrder || (field == earlierField && token == earlierToken + 1);
        }
      }
      const double rarer = std::min(rarities[w - 1], rarities[w]);
      if (sameField) bonus += rarer * kSameFieldBonus;
      if (inOrder) bonus += rarer * kInOrderBonus;
    }
    before = places;
  }
  return bonus;
}

double wordScore(double occurrences, double rarity) {
  if (occurrences <= 0) return 0;
  return rarity * occurrences * (kOccurrenceSaturation + 1) / (occurrences + kOccurrenceSaturation);
}

}  // namespace indicizza
