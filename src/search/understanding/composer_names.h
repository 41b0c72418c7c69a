// Composers' names as people type them: initials run together before the
// surname ("js bach", "wa mozart", "cpe bach"), read as the composer field
// writes them ("J. S. Bach"); and a surname spelled in another common
// transliteration ("rachmaninoff", "strawinsky", "tschaikowsky"), read as
// the spellings the index holds that fold to the same key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "search/query/query.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

// The transliteration key of a folded name (foldedText): the spellings of
// one sound that transliterations of Slavic and other names differ in are
// taken as one (w and v, ff and v at the end, tsch, tch and ch, sch and
// sh, kh and ch, j, i and y, ck and k, ks and x, ou and u, ss and s, ph and
// f), so "RACHMANINOFF" and "RACHMANINOV" have one key.
std::string transliterationKey(std::string_view folded);

// The other spellings of folded name `folded` with the same key, as words
// the index might hold, at most `most` of them, the fewest changes first.
std::vector<std::string> transliterationsOf(std::string_view folded, std::size_t most);

// Reads `member`, an item the parser made a phrase of for its separators
// ("rimskij-korsakow"), into `group` when some word of it is no word of the
// index and the index holds that word in another transliteration: as an
// OR of the phrase as typed and the phrases of the spellings the index
// holds, in the composer field, with a note; `read` says whether it did.
// Fails when the index can't be read.
Status readNamePhrase(const QueryNode& member, Rewriting& rewriting, RewriteGroup& group,
                      bool& read);

// Reads initials run together at members[i] followed by a surname at
// members[i + 1] into `group`: the surname with those initials before it
// in the composer field, or the two as typed. `taken` is 2 then, 0 when
// no such initials are there (a word of 2 to 3 letters the index does not
// hold, before a plain word). Fails when the index can't be read.
Status readInitials(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                    RewriteGroup& group, std::size_t& taken);

}  // namespace indicizza
