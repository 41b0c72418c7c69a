// Whether a record matches a query, decided on the record's own text: what
// makes a search's results true even where the index is out of date.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "search/query/query.h"
#include "search/query/term_folding.h"

namespace indicizza {

// The parts of one record a query is checked against, read with the
// indexer's rules.
struct RecordView {
  // Per text field, every token in text order (the indexer's separators),
  // in comparableTerm form; tokens with a digit included, for phrases.
  std::array<std::vector<std::string>, kTextFieldCount> tokens;
  // Per code field, the code the indexer takes from it (cut at its first
  // separator unless that is its first byte) in comparableTerm form, or ""
  // when the field yields no code.
  std::array<std::string, kCodeFieldCount> codes;
  // Per code field, every token of its text (the indexer's separators), in
  // comparableTerm form: what a phrase of a code field is checked against,
  // past the cut of its code ("HOBXVI:27" holds "HOBXVI", "27").
  std::array<std::vector<std::string>, kCodeFieldCount> codeTokens;
  // The terms the indexer would file the record under, as it writes them,
  // stop words left in: its words upper-cased and its codes.
  std::vector<std::string> indexTerms;
  // Per text field and per code field, the year its value gives
  // (field_year.h), for the year ranges; only for the fields viewOf was
  // asked for.
  std::array<std::optional<int>, kTextFieldCount> textYears;
  std::array<std::optional<int>, kCodeFieldCount> codeYears;
};

// The view of `record`, every field's year included (read by a view made
// once and kept for the searches after, whatever years their ranges ask).
RecordView viewOf(const DecodedRecord& record, Matching matching);

// Whether `view` carries the index term `key` (one of view.indexTerms):
// an entry listing the record under a key it does not carry is stale.
bool carriesTerm(const RecordView& view, std::string_view key);

// Whether the record matches `node`:
//   a word: some word (a token without digits) of the text fields in scope
//     compares equal to it;
//   a code: the code of some code field in scope compares equal to it;
//   a prefix: some word of the text fields in scope, or the code of a code
//     field in scope (all of them when not restricted), starts with it;
//   a phrase: its tokens follow each other in the text fields in scope
//     (across all seven, joined in order, when not restricted), or, scoped
//     to a code field (field 0: any), in that field's text;
//   a year range: the year of its field lies in its span;
//   AND, OR, NOT as usual.
// Comparisons are between comparableTerm forms under `matching`.
bool matchesRecord(const QueryNode& node, const RecordView& view, Matching matching);

// Where a term or a phrase occurs in a record, field by field.
struct FieldOccurrences {
  std::array<std::uint32_t, kTextFieldCount> text{};   // per text field, how many times
  std::array<std::uint32_t, kCodeFieldCount> codes{};  // per code field, 1 when its code fits
  // A phrase of a query not restricted to a field that runs from one text
  // field into the next (matchesRecord joins them), counted once here.
  std::uint32_t acrossFields = 0;
};

// The occurrences of `node` (a kTerm or kPhrase) in `view`, by the rules of
// matchesRecord: `node` matches exactly when some count is not zero.
FieldOccurrences occurrencesOf(const QueryNode& node, const RecordView& view, Matching matching);

}  // namespace indicizza
