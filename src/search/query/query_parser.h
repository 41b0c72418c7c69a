// The query language of the catalogue's searches (catalogo cerca, the page
// of catalogo servi): text in, a QueryNode tree or an error out. Nothing is
// printed; nothing is looked up. The language as its users are taught it is
// in query_help.h; in short: terms are ANDed, OR binds looser, NOT or a
// leading '-' excludes, double quotes make a phrase (and so does a term
// holding separators), a trailing '*' a prefix, T1:-T7: and C1:-C5: a field,
// a field and two years joined by ".." a year range (year_range.h),
// parentheses group, and a term with a digit is a code. The operators are
// recognised in capitals only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/query/query.h"

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
// word or code, a group of only negative members and year ranges, a year
// range written wrong (not 4 digits, the first year after the last), a dangling operator,
// parenthesis or quote, more than 100 groups one inside another, an unknown
// field, a code asked for in a text field or a word in a code field are
// errors.
QueryParse parseQuery(std::string_view text);

}  // namespace indicizza
