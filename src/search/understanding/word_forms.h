// A word of a query read as meant: left out when it is a stop word, else
// with the other forms that mean it: its synonyms (the catalogue's
// sinonimi.txt) that the index holds, and the index terms that share its
// stem or a synonym's.
#pragma once

#include "base/status.h"
#include "search/query/query.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

// Reads `member` into `group` when it is a plain word (a term with no digit
// and no prefix, outside the code fields), and says so in `read`. A word of
// noused.txt goes to group.stopWords (the rewrite of the group decides).
// Any other word becomes itself when nothing else means it, else an OR of
// it and its other forms, with a note; a word whose forms the index holds
// none of, itself included, goes to rewriting.unknownWords. Fails when the
// index can't be read.
Status readWord(const QueryNode& member, Rewriting& rewriting, RewriteGroup& group, bool& read);

}  // namespace indicizza
