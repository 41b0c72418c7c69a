// When the number of results follows from opere.idb's record lists alone,
// with no record read.
//
// Every completed run of the indexer rewrites the whole array of a term
// exactly when some record carries it, and writes opere.idb after it last
// changed opere.ddb (both are renamed into place whole). So when opere.idb
// was last written after opere.ddb, each term's array is either all
// current (some record carries the term: the run rewrote it) or all stale
// (no record carries it any more: the run left it as it was). Reading one
// listed record and checking that it carries the term then decides the
// whole array, and the records matching a plain AND, OR or NOT of terms
// are the same union, intersection and difference of the current arrays.
//
// Where that cannot be established, the records are read and checked: when
// opere.ddb changed after opere.idb was written (a run stopped between the
// two, or another writer), and for phrases and terms restricted to a field,
// which the index's entries (they carry no field or position) cannot
// decide.
#pragma once

#include <optional>

#include "catalogue/files/file_identity.h"
#include "search/query/query.h"

namespace indicizza {

// Whether an index file of identity `index` was written after the data
// file of identity `data` last changed: strictly later modification times,
// to the nanosecond. False when either is unknown; two writes within the
// same clock tick are taken as not ordered.
bool indexWrittenAfterData(const std::optional<FileIdentity>& index,
                           const std::optional<FileIdentity>& data);

// Whether the records matching `node` are exactly those the index's current
// arrays give: every term in it is a word, code or prefix not restricted to
// a field, joined by AND, OR and NOT.
bool countableFromIndex(const QueryNode& node);

}  // namespace indicizza
