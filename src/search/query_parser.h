// The query language of `catalogo cerca` (and of anything else that
// searches the catalogue): text in, a QueryNode tree or an error out.
// Nothing is printed; nothing is looked up.
//
//   bach sonata        both (AND is implied between terms; AND may be written)
//   bach OR händel     either; AND binds tighter than OR
//   NOT sonata, -sonata  the record must not match (beside a term that must)
//   "sonata in sol"    the words in this order, next to each other
//   l'amore, w.a.      a term holding separators is such a phrase too
//   sonat*             every term starting with "sonat"
//   T4:sonata          in text field T4 only (T1-T7); C1:bwv1009 in code
//                      field C1 only (C1-C5); T4:"sonata in sol" too
//   ( ... )            grouping
//   BWV1009            a token with a digit is a code (codes are looked up
//                      whole: the indexer keeps one only up to its first
//                      separator, so "K.331" is searched as a phrase, with
//                      a note)
// The operators are recognised in capitals only (OR, AND, NOT); written
// otherwise, or in double quotes, they are words.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/query.h"

namespace indicizza {

struct ParsedQuery {
  QueryNode root;
  // One-line remarks for the person asking (in Italian), such as what the
  // index holds instead of a code it can never hold.
  std::vector<std::string> notes;
};

// The outcome of parseQuery: a query, or an error (one line, in Italian,
// naming the offending part of the text).
struct QueryParse {
  std::optional<ParsedQuery> query;
  std::string error;
};

// Parses `text`: UTF-8 (a part that is not valid UTF-8 is taken as Latin-1
// bytes). Characters beyond Latin-1 are refused, except the typographic
// ones that have a Latin-1 stand-in (curly quotes act as quotes) and the
// ligatures œ Œ, read as oe. A query must ask for something: a part with no
// word or code, a group of only negative members, a dangling operator,
// parenthesis or quote, an unknown field, a code asked for in a text field
// or a word in a code field are errors.
QueryParse parseQuery(std::string_view text);

}  // namespace indicizza
