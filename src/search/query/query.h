// A parsed search query: a tree of terms, phrases and the operators that
// join them. Built by parseQuery (query_parser.h); evaluated against the
// index and the records by runQuery (search.h). Plain data.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace indicizza {

// What opens and closes a phrase typed as such: "sonata in c".
inline constexpr char kPhraseQuote = '"';
// What opens and closes a group, and what ends a field mark (T4:).
inline constexpr char kOpenGroup = '(';
inline constexpr char kCloseGroup = ')';
inline constexpr char kFieldMark = ':';
// The operators, in capitals only.
inline constexpr std::string_view kOrWord = "OR";
inline constexpr std::string_view kAndWord = "AND";
inline constexpr std::string_view kNotWord = "NOT";

// The bytes that part the items of a query.
inline bool isQuerySpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

enum class NodeKind {
  kTerm,    // one word (no digit) or code (a digit), or a prefix of terms
  kPhrase,  // two or more tokens that follow each other in the record text
  kAll,     // every child matches (AND); a kNot child must not match
  kAny,     // some child matches (OR)
  kNot,     // its one child does not match; only ever a child of kAll
  // The year of field `field` in `scope` (field_year.h) lies in
  // fromYear..toYear: a filter of the records the other members of its
  // AND find, never a member the index can propose records for.
  kYearRange,
};

// Where a term or phrase must be found.
enum class FieldScope {
  kAnywhere,   // any text field, or any code field for a code
  kTextField,  // text field `field` (1-7)
  kCodeField,  // code field `field` (1-5)
};

struct QueryNode {
  QueryNode() = default;
  // A node of `kind` made from `source`, with nothing else set yet.
  QueryNode(NodeKind kind, std::string source) : kind(kind), source(std::move(source)) {}

  NodeKind kind = NodeKind::kTerm;
  // The part of the query it was made from (UTF-8), for messages.
  std::string source;
  // kTerm: one token; kPhrase: its tokens in order. Latin-1, as typed (cut
  // at the indexer's separators, not yet folded). A token holding a digit
  // is a code in a kTerm, a number in a phrase.
  std::vector<std::string> tokens;
  bool prefix = false;  // kTerm: matches every term that starts with it
  FieldScope scope = FieldScope::kAnywhere;
  int field = 0;
  std::vector<QueryNode> children;  // kAll, kAny: two or more; kNot: one
  int fromYear = 0;                 // kYearRange: the first year and the last, both in
  int toYear = 0;
};

// A member of an AND that only filters what the others find: a NOT or a
// year range. An AND needs some other member.
inline bool isFilter(const QueryNode& node) {
  return node.kind == NodeKind::kNot || node.kind == NodeKind::kYearRange;
}

// `node` with each member of an AND or an OR that repeats an earlier one
// (the same question, however written) left out, at every depth, so that a
// query that says a thing many times costs what saying it once costs. A
// group left with one member is that member.
QueryNode withoutRepeats(QueryNode node);

// A term typed anywhere, not a prefix: a word or code as typed alone.
inline bool isPlainTerm(const QueryNode& node) {
  return node.kind == NodeKind::kTerm && node.scope == FieldScope::kAnywhere && !node.prefix;
}

// A phrase the parser made of one typed item holding separators ("es-dur",
// "op.37"), not one typed in quotes.
inline bool isUnquotedPhrase(const QueryNode& node) {
  return node.kind == NodeKind::kPhrase && node.scope == FieldScope::kAnywhere &&
         !node.source.empty() && node.source.front() != kPhraseQuote;
}

}  // namespace indicizza
