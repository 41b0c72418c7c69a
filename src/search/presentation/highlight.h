// Where a query is found in a record: the bytes of each text and code field
// that the query's terms, prefixes and phrases match, read with the same
// rules as the search's own check of the record (record_match.h), and the
// index terms matched; then a field's text with those bytes marked, for a
// terminal (bold) or a page (<mark>). Terms under a NOT are never marked.
// Nothing here prints.
//
//   RecordHighlights marks = highlightsOf(parse.query->root, record);
//   std::string_view t4 = withoutPadding(textField(record, 4));
//   out << terminalHighlighted(t4, marks.textFields[3]);     // a terminal
//   page << htmlHighlighted(t4, marks.textFields[3], htmlEscaped);
//   // JSON: marks.terms
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "search/query/query.h"
#include "search/query/term_folding.h"

namespace indicizza {

// Bytes [begin, end) of a field.
struct ByteSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const ByteSpan&, const ByteSpan&) = default;
};

// What a query matches in one record.
struct RecordHighlights {
  // Per text field, the matched bytes of textField(record, n) (n = index
  // + 1): each matched word or prefix, each phrase's run of tokens within
  // the field (the separators between them included). Ascending, neither
  // overlapping nor touching.
  std::array<std::vector<ByteSpan>, kTextFieldCount> textFields;
  // Per code field, the matched bytes of codeField(record, n): the code the
  // indexer takes from it, when the query matches that code; none or one.
  std::array<std::vector<ByteSpan>, kCodeFieldCount> codeFields;
  // The index terms matched (Latin-1, as the index writes them: words
  // upper-cased, codes as they are), each once, in the order of the
  // fields; a phrase gives its words (its numbers are no index terms).
  std::vector<std::string> terms;
};

// The spans of `marks` in field `field` of a record's fields in order: 0
// for T1 ... kTextFieldCount - 1 for T7, then the code fields C1 ... C5.
inline const std::vector<ByteSpan>& spansOfField(const RecordHighlights& marks, std::size_t field) {
  return field < kTextFieldCount ? marks.textFields[field]
                                 : marks.codeFields[field - kTextFieldCount];
}

// What the positive terms, prefixes and phrases of `query` match in
// `record`, compared as `matching` compares them. Each is marked wherever
// it matches in its scope, whether or not the record as a whole matches
// the query (one branch of an OR is marked even when another made the
// record a result).
RecordHighlights highlightsOf(const QueryNode& query, const DecodedRecord& record,
                              Matching matching = Matching::kFolded);

// Text for a terminal: `latin1` (a field, its padding dropped or not) as
// terminalTextOfLatin1 writes it, each span between ESC[1m and ESC[22m
// (bold on, off). Spans reaching past `latin1` are cut at its end. Only for
// a terminal: the caller decides whether it writes to one.
inline constexpr std::string_view kBoldOn = "\x1b[1m";
inline constexpr std::string_view kBoldOff = "\x1b[22m";
std::string terminalHighlighted(std::string_view latin1, std::span<const ByteSpan> spans);

// Text for a page: `latin1` as UTF-8, each piece passed through `escape`
// (the page's HTML escaping), the spans between <mark> and </mark>.
inline constexpr std::string_view kMarkOpen = "<mark>";
inline constexpr std::string_view kMarkClose = "</mark>";
using HtmlEscape = std::function<std::string(std::string_view utf8)>;
std::string htmlHighlighted(std::string_view latin1, std::span<const ByteSpan> spans,
                            const HtmlEscape& escape);

}  // namespace indicizza
