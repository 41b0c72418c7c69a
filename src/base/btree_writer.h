// Writes a B-tree database file directly as pages, from items given in key
// order, instead of through the library one put at a time.
//
// The file is one the library itself could have made and opens as its own:
// a B-tree of the layout in btree_pages.h, in the machine's byte order, no
// duplicate keys, no checksums, no encryption, kMinimumKeys keys per page,
// items longer than overflowThreshold on chains of overflow pages. Its leaf
// pages are filled whole, in key order, and linked both ways; the internal
// levels are built over them from the bottom up; the metadata page is
// written last. The library's later puts split the full pages as they need.
//
// Memory stays bounded whatever the number of items: one page per level of
// the tree, one for overflow pages, a copy of the last key given, and up to
// kWriteRunBytes of full pages not yet written. Leaf and overflow pages go
// to the file as they fill, gathered into writes of consecutive pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/btree_page_image.h"
#include "base/status.h"

namespace indicizza {

// The most bytes of consecutive pages the writer gathers into one write.
inline constexpr std::size_t kWriteRunBytes = 1 << 20;

// The page size of the indexer's databases.
inline constexpr std::size_t kIndexerPageSize = 4096;

// The page size the library gives a new database when it is told none: the
// file system's preferred I/O size for the open file `fd` (st_blksize),
// held between 512 and 16384 bytes, and 4096 when that is no power of two
// or can't be told.
std::size_t libraryDefaultPageSize(int fd);

// The metadata page the writer writes for a file whose last page is
// `lastPage`, but for the file id, left zero.
std::vector<std::uint8_t> metadataPage(std::size_t pageSize, std::uint32_t lastPage);

// The writer of one file. Not copyable.
class BtreeWriter {
 public:
  // Writes to `fd`, an empty regular file open for writing, which the
  // writer does not own: the caller closes it after finish() (and sync()),
  // and decides whether the file is kept (see shadow_file.h). `pageSize`:
  // a power of two from 512 to 65536, else std::invalid_argument is thrown.
  explicit BtreeWriter(int fd, std::size_t pageSize = kIndexerPageSize);
  BtreeWriter(const BtreeWriter&) = delete;
  BtreeWriter& operator=(const BtreeWriter&) = delete;

  // Adds a pair. Keys must come in strictly increasing order under the
  // library's default comparison (bytes compared unsigned, a prefix before
  // the longer key). A key not greater than the one before, or a key or
  // data item longer than 2^32 - 1 bytes, is refused with kWriteFailed
  // (errno EINVAL), and the writer goes on as if it had not been given.
  // Fails with kWriteFailed, carrying errno (ENOSPC for a write that takes
  // no byte at all), when a page can't be written; every later call then
  // fails the same way.
  // Fails with kWriteFailed once finish() was called.
  Status add(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);

  // Writes the pages still held and then the metadata page, at the start of
  // the file: the file is whole only once this succeeds. Fails as add()
  // does; a second call fails.
  Status finish();

  // Makes what finish() wrote durable (fsync). Fails with kWriteFailed.
  Status sync();

  // Starts writing to the disk what was written to the file so far, without
  // waiting for it, so that the final sync has less left to wait for.
  void startWriteback();

  // The number of pages given numbers so far, the metadata page included:
  // once finish() succeeded, the file's length in pages.
  std::uint32_t pageCount() const { return nextPage_; }

 private:
  // An entry for an internal page: the child page, and the smallest key of
  // its subtree or a reference to the overflow chain holding it.
  struct Entry {
    std::uint32_t child = 0;
    std::vector<std::uint8_t> key;   // unless on overflow pages
    std::uint32_t overflowPage = 0;  // 0 for a key held here
    std::uint32_t overflowLength = 0;
  };

  std::uint32_t allocatePage() { return nextPage_++; }
  // Writes page `number`; pages that follow each other in the file are
  // gathered into writes of up to kWriteRunBytes.
  Status writePage(std::uint32_t number, std::span<const std::uint8_t> page);
  Status writeRun();
  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Writes `bytes` on a new chain of overflow pages; `first` gets the
  // chain's first page.
  Status writeOverflow(std::span<const std::uint8_t> bytes, std::uint32_t& first);
  // Appends `bytes` to the current leaf as it is, or as a reference to a new
  // overflow chain when it is longer than the threshold.
  Status appendLeafItem(std::span<const std::uint8_t> bytes);
  // Writes the full current leaf, starts the next one and enters it, under
  // `firstKey` (the first key it will hold), in the level above.
  Status startLeaf(std::span<const std::uint8_t> firstKey);
  // The entry of a new leaf whose first key is `firstKey`, the last key of
  // the one before being lastKey_.
  Status leafEntry(std::uint32_t child, std::span<const std::uint8_t> firstKey, Entry& entry);
  // Adds `entry` to the internal page of `level` (1 for the one above the
  // leaves), making that level when it is new and starting a new page of
  // it when the entry does not fit.
  Status enter(std::size_t level, Entry entry);
  void appendEntry(PageImage& page, const Entry& entry);
  // The first page of each level is numbered as the root, page 1, until it
  // is full: it is the root as long as the level is the top one. Gives the
  // full page of `level` a number of its own if it is that page.
  void moveOffRoot(std::size_t level);
  // Starts the level `level` above the leaves, over the first page of the
  // level below it.
  void makeLevel(std::size_t level);
  Status writeMetadata();

  int fd_;
  std::size_t pageSize_;
  std::size_t threshold_;
  // levels_[0] is the current leaf, levels_[i] the current internal page
  // i levels above it.
  std::vector<PageImage> levels_;
  std::vector<std::uint32_t> firstPages_;  // the first page of each level
  std::uint32_t leafBefore_ = 0;           // the leaf before the current one
  PageImage overflow_;
  std::vector<std::uint8_t> lastKey_;
  bool haveKey_ = false;
  bool finished_ = false;
  std::uint32_t nextPage_ = 1;
  Status failed_;                  // the first write that failed, for every later call
  std::vector<std::uint8_t> run_;  // pages not yet written, from runFirst_ on
  std::uint32_t runFirst_ = 0;
};

}  // namespace indicizza
