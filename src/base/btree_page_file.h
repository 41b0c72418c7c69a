// A database file written as pages (see btree_writer.h) rather than through
// the library: the descriptor, the writer on it, and the steps around them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/berkeley_db.h"
#include "base/btree_writer.h"
#include "base/status.h"

namespace indicizza {

// A working copy open for writing its pages. Closes the file when
// destroyed. Not copyable; movable.
struct BtreePageFile {
  BtreePageFile() = default;
  ~BtreePageFile();
  BtreePageFile(BtreePageFile&& other) noexcept;
  BtreePageFile& operator=(BtreePageFile&&) = delete;
  BtreePageFile(const BtreePageFile&) = delete;
  BtreePageFile& operator=(const BtreePageFile&) = delete;

  bool isOpen() const { return writer != nullptr; }

  int fd = -1;
  std::unique_ptr<BtreeWriter> writer;  // on fd
};

// Creates the file `path`, which must not exist (mode bdb::kNewFileMode less
// the umask), for pages of the size the library would give it. Fails with
// kCannotOpen.
Status createPageFile(const std::filesystem::path& path, BtreePageFile& pages);

// Empties the existing file `path` to write it anew with pages of
// `pageSize` bytes. Fails with kCannotOpen.
Status rewritePageFile(const std::filesystem::path& path, std::size_t pageSize,
                       BtreePageFile& pages);

// Writes the pairs of `block`, in their order, as pages. Fails as
// BtreeWriter::add.
Status writePairs(BtreeWriter& writer, const bdb::BulkPairs& block);

// Writes the pages still held and closes the file, which is whole once this
// succeeds (not yet durable: see ShadowFile::commit). Fails with
// kWriteFailed.
Status closePageFile(BtreePageFile& pages);

// A working copy is written either as pages or through a library handle on
// it: the three steps below go to `pages` when it is open, else to
// `handle`.
//
// Puts the pairs of `pairs` (writePairs, or one bulk put). Fails with
// kWriteFailed.
Status putPairs(BtreePageFile& pages, bdb::Database& handle, bdb::BulkPairs& pairs);
// Starts writing what was put to the disk, without waiting.
void startWriteback(BtreePageFile& pages, bdb::Database& handle);
// Closes the working copy (closePageFile, or the handle's close, which
// writes the library's cache). Fails with kWriteFailed.
Status closeWorkingCopy(BtreePageFile& pages, bdb::Database& handle);

// The page size of the file at `path` when it is an empty B-tree that the
// writer makes again with nothing lost: its metadata as the writer writes
// it (byte order, version, flags, minimum keys, pad byte; the file id
// aside), its root an empty leaf, and no other page. Nothing for any other
// file, or one that can't be read.
std::optional<std::size_t> emptyTreePageSize(const std::filesystem::path& path);

}  // namespace indicizza
