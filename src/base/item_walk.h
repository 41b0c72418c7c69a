// A checked walk over every item of a B-tree database, in key order.
//
// The library follows the links of the file's pages as they are: a damaged
// file can make a walk end early (as if the data were exhausted), repeat
// itself or never end. The walk notices each of these: keys must come in
// strictly ascending byte order, no more items may come than the file can
// hold, and the last key seen must be the B-tree's last key.
#pragma once

#include <functional>

#include "base/berkeley_db.h"

namespace indicizza {

// Receives one item of the walk; its bytes belong to the library and live
// only for the call.
using ItemVisitor = std::function<void(const bdb::Item& key, const bdb::Item& data)>;

// How a walk ended.
enum class WalkEnd {
  kComplete,    // every item was visited, the last one being the B-tree's last
  kNoCursor,    // no cursor could be opened
  kNoFirstItem, // no first item: the database is empty, or its first step failed
  kBroken,      // a later step failed, or the items broke one of the checks above
};

// The fewest bytes one key/data pair takes in a file: two 2-byte slots and
// two 3-byte item headers on a leaf page.
inline constexpr std::uint64_t kSmallestItemFootprint = 10;

// Walks `database` (open) with one cursor from its first item to its last,
// handing each to `visit`. Items are read many per step; after a failed
// step the walk goes on one item per step, so every item before the one that
// can't be read is visited. An exception from `visit` ends the walk.
WalkEnd walkItems(bdb::Database& database, const ItemVisitor& visit);

}  // namespace indicizza
