// The one thin layer over the Berkeley DB C API. Nothing else in the program
// calls the library: both databases go through these handle types.
#pragma once

#include <db.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_identity.h"
#include "base/status.h"

namespace indicizza::bdb {

// The mode new database files are made with (less the umask).
inline constexpr int kNewFileMode = 0664;

// The Status of a library result: ok for 0, kNotFound for a missing key or
// the end of a cursor walk, otherwise a failure of kind `code` carrying the
// result and the library's text for it.
Status statusOf(int result, Status::Code code);

// Makes the library's pauses short, for the whole process: at most a
// millisecond each. When a database's cache is full of pages it cannot
// write (a full disk), the library pauses a second, four times in a row,
// for another user of the cache to free one before it fails the put.
// Requires that no other thread or process ever uses a database's cache
// while one does (handles made with no environment, each used by one thread
// at a time, as the indexer's are): no one can free a page then, and the put
// fails at once instead of seconds later. Call before the first handle.
void pauseBriefly();

// A key or data item as the library returns it: the bytes belong to the
// library and stay valid only until the next call on the same cursor.
struct Item {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::span<const std::uint8_t> bytes() const { return {data, size}; }
  // The same bytes as text (a term, Latin-1), for comparing with keys.
  std::string_view text() const { return {reinterpret_cast<const char*>(data), size}; }
};

// The bytes of `text`, as a key or a value is given to the library.
inline std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// How open() treats the file.
enum class OpenMode {
  kExisting,   // the file must exist (open flags 0)
  kCreate,     // created when missing (by the library, under a temporary name
               // first), opened with its contents otherwise: the bench's floor only
  kCreateNew,  // created, under its own name only; fails if the file exists
  kFillEmpty,  // an empty file the caller made and owns: the database is made in it
  kReadOnly,   // the file must exist; opened for reading only (DB_RDONLY)
};

class Cursor;

// Key/data pairs gathered for one bulk put (a DB_MULTIPLE_KEY buffer). Copies
// the bytes it is given; cleared for reuse after each put. Not copyable.
class BulkPairs {
 public:
  // `capacity` is the size in bytes the buffer starts with.
  explicit BulkPairs(std::size_t capacity);
  BulkPairs(const BulkPairs&) = delete;
  BulkPairs& operator=(const BulkPairs&) = delete;

  // Appends a pair. Returns false, leaving the batch as it was, when the pair
  // does not fit beside those already in it; a pair that does not fit an
  // empty batch makes the buffer grow, so it is always taken.
  bool add(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);

  std::size_t count() const { return count_; }
  void clear();

  // Calls `visit` with each pair, in the order added, until it returns
  // false; the spans point into the batch until it is next changed.
  void forEachPair(const std::function<bool(std::span<const std::uint8_t> key,
                                            std::span<const std::uint8_t> data)>& visit) const;

 private:
  friend class Database;
  std::vector<std::uint32_t> buffer_;  // 32-bit words: the offsets need that alignment
  DBT dbt_{};
  void* writePointer_ = nullptr;
  std::size_t count_ = 0;
};

// Receives many key/data pairs per cursor step (DB_MULTIPLE_KEY). The items
// it hands out point into its buffer and stay valid until the next bulk step
// into it. Not copyable.
class BulkItems {
 public:
  // `capacity` is the size in bytes the buffer starts with (at least 64 KiB,
  // the largest page size); it grows when a single pair needs more.
  explicit BulkItems(std::size_t capacity);
  BulkItems(const BulkItems&) = delete;
  BulkItems& operator=(const BulkItems&) = delete;

  // The next pair of the last step; false when they are all read.
  bool next(Item& key, Item& data);

 private:
  friend class Cursor;
  std::vector<std::uint32_t> buffer_;
  DBT dbt_{};
  void* readPointer_ = nullptr;
};

// A database handle: made and opened by open(), at most once; closed once.
// Owns the library handle. Destroying a handle that is still open closes it
// without writing its cache to the file and without looking at the result
// (the fatal-stop path, whose working copies are thrown away), so the checked
// close() is the one to call when what was put must reach the file. Not
// copyable.
class Database {
 public:
  Database() = default;
  ~Database();
  Database(Database&& other) noexcept : db_(other.db_), opened_(other.opened_) {
    other.db_ = nullptr;
  }
  // Discards the handle held (as the destructor does), then takes `other`'s.
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // db_create with no environment and no flags, then DB->open of the
  // B-tree at `path`, no transaction, no sub-database. Every file the library
  // opens must be a regular one, checked in the same step as the open (see
  // regular_file.h): a folder, a device, a named pipe or a socket in its
  // place fails with kNotRegular at once, never waited on. A file it creates gets
  // kNewFileMode, and exists under no other name, even for a moment, so a
  // process killed while creating it leaves at most an unfinished `path`; a
  // create that fails leaves nothing. The handle's own lines (see
  // library_lines.h) go to deliverLibraryLine. Fails with kNoHandle when no handle can be made,
  // kCannotOpen when the open fails (after which the handle can only be
  // closed). A handle is opened once only: the library accepts a second open
  // on an open handle and leaves it broken, so a second call throws
  // std::logic_error.
  Status open(const char* path, OpenMode mode);

  // DB->put of every pair of `pairs` in one call (DB_MULTIPLE_KEY), with no
  // transaction: the same as one put per pair, in their order, a key already
  // present getting the new data. Fails with kWriteFailed, after which some
  // of the pairs may have been stored.
  Status putBulk(BulkPairs& pairs);

  // DB->get of `key` with no transaction and flags 0, into a zeroed data
  // DBT: on success `data` points into memory the handle owns, valid until the
  // next call on this handle. kNotFound when the key is absent, kReadFailed
  // when the read fails.
  Status get(std::span<const std::uint8_t> key, Item& data);

  // The length in bytes of the data stored under `key`, into `length`,
  // without reading the data (DB->get into a user buffer of no room, which
  // the library answers with the length needed). kNotFound when the key is
  // absent, kReadFailed when the read fails.
  Status dataLength(std::span<const std::uint8_t> key, std::size_t& length);

  // Asks the kernel to start writing the file's dirty pages to the disk now,
  // without waiting (DB->fd, then sync_file_range), so that the disk works
  // while the program goes on and the close that follows waits less. Only
  // advice: what reaches the disk is still made sure of by close(), which
  // is why a failure here is not reported.
  void startWriteback();

  // DB->cursor with no transaction; on success `cursor` holds the new
  // cursor. Fails with kNoHandle.
  Status openCursor(Cursor& cursor);

  // DB->close with flags 0; the handle is gone whatever the result. Fails
  // with kWriteFailed: after writes, cached pages may not have reached the
  // file.
  Status close();

  // The identity of the open file (DB->fd, then fstat): the file the
  // library reads, whatever its name now names; nothing when it can't be
  // told.
  std::optional<FileIdentity> fileIdentity() const;

  // The length in bytes of the open file (DB->fd, then fstat); 0 when it
  // can't be told.
  std::uint64_t fileSize() const;

  // The descriptor the library reads the open file through (DB->fd), for
  // reading it beside the library; -1 when it can't be told. Owned by the
  // handle: valid until it is closed.
  int fileDescriptor() const;

  bool isOpen() const { return db_ != nullptr; }

 private:
  DB* db_ = nullptr;
  bool opened_ = false;
};

// A cursor on an open Database; must be closed (or destroyed) before the
// database is. Not copyable.
class Cursor {
 public:
  Cursor() = default;
  ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  // Every step below gives kNotFound past the last pair, kReadFailed when
  // the read fails (the cursor then stays where it was).

  // DBC->get with DB_FIRST or DB_NEXT into zeroed DBTs, so `key` and `data`
  // point into the library's memory (see Item).
  Status first(Item& key, Item& data) { return get(key, data, DB_FIRST); }
  Status next(Item& key, Item& data) { return get(key, data, DB_NEXT); }
  // DBC->get with DB_LAST: the pair with the greatest key, found by a descent
  // from the root rather than a walk.
  Status last(Item& key, Item& data) { return get(key, data, DB_LAST); }

  // DBC->get with DB_FIRST or DB_NEXT and DB_MULTIPLE_KEY: the pairs from
  // the cursor's next position on, as many as fit `items`, which is grown
  // (and the step retried) when even one pair does not fit.
  Status firstBulk(BulkItems& items) { return getBulk(items, DB_FIRST); }
  Status nextBulk(BulkItems& items) { return getBulk(items, DB_NEXT); }

  // Key-only steps, for walking the keys of a database without reading
  // their data: seekKey moves to the smallest key not below `key`
  // (DB_SET_RANGE), nextKey to the key after the current one (DB_NEXT).
  // `found` points into the library's memory (see Item).
  Status seekKey(std::span<const std::uint8_t> key, Item& found);
  Status nextKey(Item& found);

  // DBC->close; the cursor is gone whatever the result. Fails with
  // kReadFailed.
  Status close();

 private:
  friend class Database;
  Status get(Item& key, Item& data, std::uint32_t flags);
  Status getBulk(BulkItems& items, std::uint32_t flags);

  DBC* cursor_ = nullptr;
};

}  // namespace indicizza::bdb
