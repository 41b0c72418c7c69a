#include "search/presentation/highlight.h"

#include <algorithm>
#include <utility>

#include "catalogue/forms/record_display.h"
#include "catalogue/text/terminal_text.h"
#include "indexing/term_rules.h"

namespace indicizza {
namespace {

// One token of a text field, where it lies and how it compares.
struct FieldToken {
  std::size_t field;  // 0-based text field
  ByteSpan span;      // in textField(record, field + 1)
  std::string raw;    // as stored
  std::string comparable;
};

// A matched index term and where the record holds it first: text tokens
// in order, then the code fields.
struct FoundTerm {
  std::size_t position;
  std::string term;
};

class Marker {
 public:
  Marker(const DecodedRecord& record, Matching matching) : record_(record), matching_(matching) {
    for (std::size_t f = 0; f < kTextFieldCount; ++f) {
      const std::string_view text = textField(record, static_cast<int>(f + 1));
      forEachToken(text, [&](std::string_view token) {
        const auto begin = static_cast<std::size_t>(token.data() - text.data());
        tokens_.push_back({f,
                           {begin, begin + token.size()},
                           std::string(token),
                           comparableTerm(token, matching)});
      });
    }
  }

  // Marks what the positive members of `node` match.
  void mark(const QueryNode& node) {
    switch (node.kind) {
      case NodeKind::kTerm: markTerm(node); return;
      case NodeKind::kPhrase: markPhrase(node); return;
      case NodeKind::kAll:
      case NodeKind::kAny:
        for (const QueryNode& child : node.children) mark(child);
        return;
      case NodeKind::kNot:
      case NodeKind::kYearRange: return;
    }
  }

  RecordHighlights result() && {
    for (auto& spans : marks_.textFields) spans = merged(std::move(spans));
    std::stable_sort(found_.begin(), found_.end(), [](const FoundTerm& a, const FoundTerm& b) {
      return a.position < b.position;
    });
    for (FoundTerm& found : found_) {
      if (std::find(marks_.terms.begin(), marks_.terms.end(), found.term) == marks_.terms.end())
        marks_.terms.push_back(std::move(found.term));
    }
    return std::move(marks_);
  }

 private:
  static bool inTextScope(const QueryNode& node, std::size_t field) {
    if (node.scope == FieldScope::kCodeField) return false;
    return node.scope == FieldScope::kAnywhere || node.field == static_cast<int>(field + 1);
  }

  static bool inCodeScope(const QueryNode& node, std::size_t field) {
    if (node.scope == FieldScope::kTextField) return false;
    return node.scope == FieldScope::kAnywhere || node.field == static_cast<int>(field + 1);
  }

  // As record_match.h: a word matches words of the text fields, a code the
  // codes of the code fields, a prefix both.
  void markTerm(const QueryNode& node) {
    const std::string wanted = comparableTerm(node.tokens.front(), matching_);
    const auto fits = [&](std::string_view candidate) {
      return node.prefix ? candidate.starts_with(wanted) : candidate == wanted;
    };
    const bool code = holdsDigit(node.tokens.front());
    for (std::size_t t = 0; (!code || node.prefix) && t < tokens_.size(); ++t) {
      const FieldToken& token = tokens_[t];
      if (!inTextScope(node, token.field) || holdsDigit(token.raw)) continue;
      if (!fits(token.comparable)) continue;
      marks_.textFields[token.field].push_back(token.span);
      noteWord(t);
    }
    for (std::size_t f = 0; (code || node.prefix) && f < kCodeFieldCount; ++f) {
      if (!inCodeScope(node, f)) continue;
      const std::string_view found = indexedCodeOf(codeField(record_, static_cast<int>(f + 1)));
      if (found.empty() || !fits(comparableTerm(found, matching_))) continue;
      marks_.codeFields[f] = {{0, found.size()}};
      found_.push_back({tokens_.size() + f, std::string(found)});
    }
  }

  // As record_match.h: the phrase's tokens in a row among the tokens of the
  // text fields in scope, read in field order; every occurrence.
  void markPhrase(const QueryNode& node) {
    std::vector<std::string> wanted;
    for (const std::string& token : node.tokens) wanted.push_back(comparableTerm(token, matching_));
    std::vector<std::size_t> scope;  // indexes into tokens_
    for (std::size_t t = 0; t < tokens_.size(); ++t) {
      if (inTextScope(node, tokens_[t].field)) scope.push_back(t);
    }
    const auto same = [&](std::size_t t, const std::string& w) {
      return tokens_[t].comparable == w;
    };
    for (auto at = scope.begin();; ++at) {
      at = std::search(at, scope.end(), wanted.begin(), wanted.end(), same);
      if (at == scope.end()) return;
      markRun(std::span<const std::size_t>(&*at, wanted.size()));
    }
  }

  // Marks a phrase's tokens: one span per field from its first token there
  // to its last.
  void markRun(std::span<const std::size_t> run) {
    std::size_t from = 0;
    for (std::size_t i = 1; i <= run.size(); ++i) {
      if (i < run.size() && tokens_[run[i]].field == tokens_[run[from]].field) continue;
      const FieldToken& first = tokens_[run[from]];
      marks_.textFields[first.field].push_back({first.span.begin, tokens_[run[i - 1]].span.end});
      from = i;
    }
    for (const std::size_t t : run) noteWord(t);
  }

  // Notes the index term of token `t`, when it is a word.
  void noteWord(std::size_t t) {
    forEachIndexedWord(tokens_[t].raw, [&](std::string_view word) {
      found_.push_back({t, std::string(word)});
    });
  }

  static std::vector<ByteSpan> merged(std::vector<ByteSpan> spans) {
    std::sort(spans.begin(), spans.end(), [](const ByteSpan& a, const ByteSpan& b) {
      return a.begin < b.begin || (a.begin == b.begin && a.end < b.end);
    });
    std::vector<ByteSpan> out;
    for (const ByteSpan& span : spans) {
      if (!out.empty() && span.begin <= out.back().end) {
        out.back().end = std::max(out.back().end, span.end);
      } else {
        out.push_back(span);
      }
    }
    return out;
  }

  const DecodedRecord& record_;
  Matching matching_;
  std::vector<FieldToken> tokens_;  // the text fields' tokens, in field order
  RecordHighlights marks_;
  std::vector<FoundTerm> found_;
};

// Calls `piece(bytes, marked)` for the runs of `latin1` in and out of
// `spans`, in order; spans are cut at the end of `latin1`.
template <typename Piece>
void forEachPiece(std::string_view latin1, std::span<const ByteSpan> spans, Piece&& piece) {
  std::size_t at = 0;
  for (const ByteSpan& span : spans) {
    const std::size_t begin = std::clamp(span.begin, at, latin1.size());
    const std::size_t end = std::clamp(span.end, begin, latin1.size());
    if (begin > at) piece(latin1.substr(at, begin - at), false);
    if (end > begin) piece(latin1.substr(begin, end - begin), true);
    at = end;
  }
  if (at < latin1.size()) piece(latin1.substr(at), false);
}

}  // namespace

RecordHighlights highlightsOf(const QueryNode& query, const DecodedRecord& record,
                              Matching matching) {
  Marker marker(record, matching);
  marker.mark(query);
  return std::move(marker).result();
}

std::string terminalHighlighted(std::string_view latin1, std::span<const ByteSpan> spans) {
  std::string text;
  forEachPiece(latin1, spans, [&](std::string_view piece, bool marked) {
    if (marked) text += kBoldOn;
    text += terminalTextOfLatin1(piece);
    if (marked) text += kBoldOff;
  });
  return text;
}

std::string htmlHighlighted(std::string_view latin1, std::span<const ByteSpan> spans,
                            const HtmlEscape& escape) {
  std::string html;
  forEachPiece(latin1, spans, [&](std::string_view piece, bool marked) {
    if (marked) html += kMarkOpen;
    html += escape(displayText(piece));
    if (marked) html += kMarkClose;
  });
  return html;
}

}  // namespace indicizza
