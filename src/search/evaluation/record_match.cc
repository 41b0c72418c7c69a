#include "search/evaluation/record_match.h"

#include <algorithm>

#include "catalogue/forms/field_year.h"
#include "indexing/term_rules.h"

namespace indicizza {
namespace {

// The text fields a scope covers, as 0-based indexes.
std::pair<std::size_t, std::size_t> textFieldRange(const QueryNode& node) {
  if (node.scope == FieldScope::kTextField) return {node.field - 1u, node.field + 0u};
  if (node.scope == FieldScope::kCodeField) return {0, 0};
  return {0, kTextFieldCount};
}

std::pair<std::size_t, std::size_t> codeFieldRange(const QueryNode& node) {
  if (node.scope == FieldScope::kCodeField && node.field == 0) return {0, kCodeFieldCount};
  if (node.scope == FieldScope::kCodeField) return {node.field - 1u, node.field + 0u};
  if (node.scope == FieldScope::kTextField) return {0, 0};
  return {0, kCodeFieldCount};
}

// Calls `onMatch(isCode, field)` (a 0-based field index) for each token of
// a text field and each code of `view`, in the scope of term `node`, that
// the term matches, until it returns true; tells whether it did. The one
// rule of what a term matches, for the check and for the ranking alike.
template <typename OnMatch>
bool forEachTermMatch(const QueryNode& node, const RecordView& view, Matching matching,
                      OnMatch onMatch) {
  const std::string wanted = comparableTerm(node.tokens.front(), matching);
  const auto fits = [&](std::string_view candidate) {
    return node.prefix ? candidate.starts_with(wanted) : candidate == wanted;
  };
  const bool code = holdsDigit(node.tokens.front());
  if (!code || node.prefix) {
    const auto [first, last] = textFieldRange(node);
    for (std::size_t f = first; f < last; ++f) {
      for (const std::string& token : view.tokens[f]) {
        if (fits(token) && !holdsDigit(token) && onMatch(false, f)) return true;
      }
    }
  }
  if (code || node.prefix) {
    const auto [first, last] = codeFieldRange(node);
    for (std::size_t f = first; f < last; ++f) {
      if (!view.codes[f].empty() && fits(view.codes[f]) && onMatch(true, f)) return true;
    }
  }
  return false;
}

bool termMatches(const QueryNode& node, const RecordView& view, Matching matching) {
  return forEachTermMatch(node, view, matching, [](bool, std::size_t) { return true; });
}

// The code fields in the scope of `node` (a phrase scoped to code fields)
// whose text holds `wanted`, one by one to `onField(f)`.
template <typename OnField>
void forEachCodeFieldHolding(const QueryNode& node, const RecordView& view,
                             const std::vector<std::string>& wanted, OnField onField) {
  const auto [first, last] = codeFieldRange(node);
  for (std::size_t f = first; f < last; ++f) {
    const std::vector<std::string>& text = view.codeTokens[f];
    if (std::search(text.begin(), text.end(), wanted.begin(), wanted.end()) != text.end())
      onField(f);
  }
}

bool phraseMatches(const QueryNode& node, const RecordView& view, Matching matching) {
  std::vector<std::string> wanted;
  for (const std::string& token : node.tokens) wanted.push_back(comparableTerm(token, matching));
  if (node.scope == FieldScope::kCodeField) {
    bool held = false;
    forEachCodeFieldHolding(node, view, wanted, [&](std::size_t) { held = true; });
    return held;
  }
  const auto [first, last] = textFieldRange(node);
  std::vector<std::string_view> text;  // the word source's tokens in scope
  for (std::size_t f = first; f < last; ++f)
    text.insert(text.end(), view.tokens[f].begin(), view.tokens[f].end());
  return std::search(text.begin(), text.end(), wanted.begin(), wanted.end(),
                     [](std::string_view a, const std::string& b) { return a == b; }) != text.end();
}

// Counts the occurrences of a term into `found`.
void countTerm(const QueryNode& node, const RecordView& view, Matching matching,
               FieldOccurrences& found) {
  forEachTermMatch(node, view, matching, [&](bool code, std::size_t f) {
    if (code) {
      found.codes[f] = 1;
    } else {
      ++found.text[f];
    }
    return false;
  });
}

// Counts the occurrences of a phrase inside each text field into `found`;
// one across fields when it is found only so.
void countPhrase(const QueryNode& node, const RecordView& view, Matching matching,
                 FieldOccurrences& found) {
  std::vector<std::string> wanted;
  for (const std::string& token : node.tokens) wanted.push_back(comparableTerm(token, matching));
  if (node.scope == FieldScope::kCodeField) {
    forEachCodeFieldHolding(node, view, wanted, [&](std::size_t f) { found.codes[f] = 1; });
    return;
  }
  const auto [first, last] = textFieldRange(node);
  bool inField = false;
  for (std::size_t f = first; f < last; ++f) {
    const std::vector<std::string>& text = view.tokens[f];
    for (auto at = text.begin();; ++at) {
      at = std::search(at, text.end(), wanted.begin(), wanted.end());
      if (at == text.end()) break;
      ++found.text[f];
      inField = true;
    }
  }
  if (!inField && phraseMatches(node, view, matching)) found.acrossFields = 1;
}

}  // namespace

FieldOccurrences occurrencesOf(const QueryNode& node, const RecordView& view, Matching matching) {
  FieldOccurrences found;
  if (node.kind == NodeKind::kTerm) countTerm(node, view, matching, found);
  if (node.kind == NodeKind::kPhrase) countPhrase(node, view, matching, found);
  return found;
}

RecordView viewOf(const DecodedRecord& record, Matching matching) {
  RecordView view;
  for (std::size_t f = 0; f < kTextFieldCount; ++f) {
    const std::string_view text = textField(record, static_cast<int>(f + 1));
    forEachToken(text, [&](std::string_view token) {
      view.tokens[f].push_back(comparableTerm(token, matching));
    });
    forEachIndexedWord(text, [&](std::string_view word) { view.indexTerms.emplace_back(word); });
    view.textYears[f] = yearOf(text);
  }
  for (std::size_t f = 0; f < kCodeFieldCount; ++f) {
    const std::string_view field = codeField(record, static_cast<int>(f + 1));
    forEachToken(field, [&](std::string_view token) {
      view.codeTokens[f].push_back(comparableTerm(token, matching));
    });
    view.codeYears[f] = yearOf(field);
    const std::string_view code = indexedCodeOf(field);
    if (code.empty()) continue;
    view.codes[f] = comparableTerm(code, matching);
    view.indexTerms.emplace_back(code);
  }
  return view;
}

bool carriesTerm(const RecordView& view, std::string_view key) {
  return std::find(view.indexTerms.begin(), view.indexTerms.end(), key) != view.indexTerms.end();
}

bool matchesRecord(const QueryNode& node, const RecordView& view, Matching matching) {
  switch (node.kind) {
    case NodeKind::kTerm: return termMatches(node, view, matching);
    case NodeKind::kPhrase: return phraseMatches(node, view, matching);
    case NodeKind::kAll:
      return std::all_of(node.children.begin(), node.children.end(), [&](const QueryNode& child) {
        return matchesRecord(child, view, matching);
      });
    case NodeKind::kAny:
      return std::any_of(node.children.begin(), node.children.end(), [&](const QueryNode& child) {
        return matchesRecord(child, view, matching);
      });
    case NodeKind::kNot: return !matchesRecord(node.children.front(), view, matching);
    case NodeKind::kYearRange: {
      const std::size_t f = static_cast<std::size_t>(node.field - 1);
      const std::optional<int>& year =
          node.scope == FieldScope::kTextField ? view.textYears[f] : view.codeYears[f];
      return year && *year >= node.fromYear && *year <= node.toYear;
    }
  }
  return false;
}

}  // namespace indicizza
