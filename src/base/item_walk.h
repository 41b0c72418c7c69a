// A checked walk over every item of a B-tree database, in key order.
//
// The library follows the links of the file's pages as they are: a damaged
// file can make a walk end early (as if the data were exhausted), repeat
// itself or never end. The walk notices each of these: keys must come in
// strictly ascending byte order, no more items may come than the file can
// hold, and the last key seen must be the B-tree's last key. The file's
// pages should be checked first (see btree_pages.h): a damaged page can make
// a single step of the library loop for ever.
#pragma once

#include <cstdint>
#include <vector>

#include "base/berkeley_db.h"
#include "base/status.h"

namespace indicizza {

// The fewest bytes one key/data pair takes in a file: two 2-byte slots and
// two 3-byte item headers on a leaf page.
inline constexpr std::uint64_t kSmallestItemFootprint = 10;

// Walks an open database with one cursor, from its first item to its last,
// one item per next(). Items are read many per cursor step; after a failed
// step the walk goes on one item per step, so every item before the one that
// can't be read is visited. Must not outlive the database; not copyable.
class ItemWalk {
 public:
  explicit ItemWalk(bdb::Database& database);
  ItemWalk(const ItemWalk&) = delete;
  ItemWalk& operator=(const ItemWalk&) = delete;

  // The next item: true with `key` and `data` pointing into the walk's
  // memory, valid until the next call; false once the walk is over, and
  // from then on, status() saying how it ended.
  bool next(bdb::Item& key, bdb::Item& data);

  // How the walk ended: ok when every item was visited, the last being the
  // B-tree's last; kNoHandle when no cursor could be opened; kEmpty when the
  // database holds no item; kReadFailed when a step failed (the first one,
  // when nothing was visited); kDamaged when the items broke one of the
  // checks above. Ok while the walk goes on.
  const Status& status() const { return status_; }

 private:
  // Checks the item against the ones before; ends the walk when it fails.
  bool take(const bdb::Item& key);
  // Ends the walk on `step`, the cursor step that gave no more items.
  void finish(const Status& step);

  bdb::Database& database_;
  bdb::Cursor cursor_;
  bdb::BulkItems bulkItems_;
  bool bulk_ = true;          // steps read many items
  bool bulkPending_ = false;  // bulkItems_ holds items not yet handed out
  bool over_ = false;
  std::uint64_t mostItems_ = 0;  // what the file can hold
  std::uint64_t items_ = 0;
  std::vector<std::uint8_t> lastKey_;
  Status status_;
};

}  // namespace indicizza
