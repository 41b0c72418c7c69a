#include "search/record_match.h"

#include <algorithm>

#include "indexing/byte_classes.h"
#include "indexing/tokens.h"

namespace indicizza {
namespace {

// The code the indexer takes from a code field, or "" when it yields none.
std::string_view indexedCode(std::string_view field) {
  const auto separator =
      std::find_if(field.begin(), field.end(), [](char c) { return isSeparator(c); });
  if (separator != field.begin() && separator != field.end()) {
    field = field.substr(0, static_cast<std::size_t>(separator - field.begin()));
  }
  return holdsDigit(field) ? field : std::string_view();
}

// The text fields a scope covers, as 0-based indexes.
std::pair<std::size_t, std::size_t> textFieldRange(const QueryNode& node) {
  if (node.scope == FieldScope::kTextField) return {node.field - 1u, node.field + 0u};
  if (node.scope == FieldScope::kCodeField) return {0, 0};
  return {0, kTextFieldCount};
}

std::pair<std::size_t, std::size_t> codeFieldRange(const QueryNode& node) {
  if (node.scope == FieldScope::kCodeField) return {node.field - 1u, node.field + 0u};
  if (node.scope == FieldScope::kTextField) return {0, 0};
  return {0, kCodeFieldCount};
}

bool termMatches(const QueryNode& node, const RecordView& view, Matching matching) {
  const std::string wanted = comparableTerm(node.tokens.front(), matching);
  const auto fits = [&](std::string_view candidate) {
    return node.prefix ? candidate.starts_with(wanted) : candidate == wanted;
  };
  const bool code = holdsDigit(node.tokens.front());
  if (!code || node.prefix) {
    const auto [first, last] = textFieldRange(node);
    for (std::size_t f = first; f < last; ++f) {
      for (const std::string& token : view.tokens[f]) {
        if (!holdsDigit(token) && fits(token)) return true;
      }
    }
  }
  if (code || node.prefix) {
    const auto [first, last] = codeFieldRange(node);
    for (std::size_t f = first; f < last; ++f) {
      if (!view.codes[f].empty() && fits(view.codes[f])) return true;
    }
  }
  return false;
}

bool phraseMatches(const QueryNode& node, const RecordView& view, Matching matching) {
  std::vector<std::string> wanted;
  for (const std::string& token : node.tokens) wanted.push_back(comparableTerm(token, matching));
  const auto [first, last] = textFieldRange(node);
  std::vector<std::string_view> text;  // the word source's tokens in scope
  for (std::size_t f = first; f < last; ++f)
    text.insert(text.end(), view.tokens[f].begin(), view.tokens[f].end());
  return std::search(text.begin(), text.end(), wanted.begin(), wanted.end(),
                     [](std::string_view a, const std::string& b) { return a == b; }) != text.end();
}

}  // namespace

RecordView viewOf(const DecodedRecord& record, Matching matching) {
  RecordView view;
  for (std::size_t f = 0; f < kTextFieldCount; ++f) {
    forEachToken(textField(record, static_cast<int>(f + 1)), [&](std::string_view token) {
      view.tokens[f].push_back(comparableTerm(token, matching));
      if (holdsDigit(token)) return;
      std::string word(token);
      for (char& c : word) c = asciiUpper(c);
      view.indexTerms.push_back(std::move(word));
    });
  }
  for (std::size_t f = 0; f < kCodeFieldCount; ++f) {
    const std::string_view code = indexedCode(codeField(record, static_cast<int>(f + 1)));
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
  }
  return false;
}

}  // namespace indicizza
