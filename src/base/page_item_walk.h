// A walk over every item of a B-tree file, in key order, read straight from
// its pages rather than through the library.
//
// The library reads a file a page at a time through its cache; this walk
// reads runs of pages with one call and takes the items off the leaves as
// they lie, which costs a small share of that. It gives the items a library
// cursor gives (deleted ones passed over, overflow items whole) and makes
// ItemWalk's checks on them, and it trusts no byte it reads: a page that is
// not what the tree's links say ends the walk as damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/berkeley_db.h"
#include "base/status.h"

namespace indicizza {

// Walks the B-tree file open on `fd` (not owned; it must stay open and
// unchanged while the walk lives), `fileSize` bytes long, from its first item
// to its last, one item per next(). Meant for a file whose pages were
// checked (btree_pages.h), so that its links are known to be sound. Not
// copyable.
class PageItemWalk {
 public:
  PageItemWalk(int fd, std::uint64_t fileSize);
  PageItemWalk(const PageItemWalk&) = delete;
  PageItemWalk& operator=(const PageItemWalk&) = delete;

  // As ItemWalk::next: true with `key` and `data` pointing into the walk's
  // memory, valid until the next call; false once the walk is over.
  bool next(bdb::Item& key, bdb::Item& data);

  // As ItemWalk::status: ok when every item was visited; kEmpty when the
  // file holds none; kReadFailed when a read failed or came short; kDamaged
  // when a page or an item is not what the links say, or the keys do not
  // ascend, or the leaves end before the tree's last one. Ok while the walk
  // goes on.
  const Status& status() const { return status_; }

 private:
  // A run of pages read with one call.
  struct Window {
    std::vector<std::uint8_t> bytes;
    std::uint32_t first = 0;   // page number of its first page
    std::uint32_t pages = 0;   // pages it holds
    std::uint32_t served = 0;  // pages asked of it since it was read
    std::uint32_t want = 1;    // pages the next read takes
  };

  bool readMetadata();
  // Page `number` through `window` (read anew when it is not there), or an
  // empty span (the walk failed) when it can't be read or says it is
  // another page.
  std::span<const std::uint8_t> anyPage(Window& window, std::uint32_t number);
  // The same, also empty when it is not a page of `type` at `level`.
  std::span<const std::uint8_t> page(Window& window, std::uint32_t number, std::uint8_t type,
                                     std::uint8_t level);
  // The leaf at the tree's left (`leftmost`) or right edge; 0 on failure.
  std::uint32_t edgeLeaf(bool leftmost);
  // Item `index` of the current leaf, whole, into `item`; overflow items
  // are gathered into `overflow`. False (the walk failed) when it is not
  // sound.
  bool itemAt(std::size_t index, std::vector<std::uint8_t>& overflow, bdb::Item& item);
  bool gatherOverflow(std::uint32_t first, std::uint32_t length,
                      std::vector<std::uint8_t>& overflow);
  bool nextLeaf();
  std::uint32_t load32(std::span<const std::uint8_t> bytes, std::size_t offset) const;
  std::uint16_t load16(std::span<const std::uint8_t> bytes, std::size_t offset) const;
  bool fail(Status::Code code);

  int fd_;
  std::uint64_t fileSize_;
  bool bigEndian_ = false;
  std::size_t pageSize_ = 0;
  std::size_t headerSize_ = 0;  // where a page's item offsets, or its overflow bytes, begin
  std::uint32_t lastPage_ = 0;
  std::uint32_t root_ = 0;
  std::uint32_t lastLeaf_ = 0;  // the tree's rightmost leaf
  Window leaves_;
  Window overflowPages_;
  std::span<const std::uint8_t> leaf_;  // the current leaf, in leaves_
  std::uint32_t leafNumber_ = 0;
  std::size_t leafEntries_ = 0;
  std::size_t leafItemsBegin_ = 0;  // its first item's offset; the slots end before it
  std::size_t nextEntry_ = 0;
  std::uint32_t leavesVisited_ = 0;
  std::vector<std::uint8_t> keyOverflow_;
  std::vector<std::uint8_t> dataOverflow_;
  std::vector<std::uint8_t> lastKey_;
  std::uint64_t items_ = 0;
  std::uint64_t mostItems_ = 0;
  bool over_ = false;
  Status status_;
};

}  // namespace indicizza
