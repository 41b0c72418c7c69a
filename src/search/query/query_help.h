// The query language as its users are told it, in Italian: the one source
// of `catalogo help cerca`, of the help on the search page of `catalogo
// servi` and of the QUERY LANGUAGE section of the catalogo(1) man page,
// which is made from it at build time. Each front end lays it out in its
// own form (text, HTML, scdoc); none writes the language down again.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

// One form of query and what it finds. Text is UTF-8.
struct QueryHelpRow {
  std::vector<std::string_view> examples;  // queries as typed in the search box
  std::string_view meaning;
};

// The forms of query, in the order they are taught.
std::span<const QueryHelpRow> queryHelpRows();

// What follows the forms, one paragraph each (UTF-8): the operators'
// spelling, how codes are indexed, how case and accents are set aside (the
// last one is made from the folding table itself, term_folding.h).
std::vector<std::string> queryHelpNotes();

// What to try when a search finds nothing at all, one sentence each, in
// Italian: for the page and for `catalogo cerca`.
std::vector<std::string> nothingFoundTips();

}  // namespace indicizza
