#include "base/btree_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>

#include "base/btree_pages.h"

namespace indicizza {

using namespace btree_layout;

static_assert(overflowThreshold(kIndexerPageSize) == 1007);

namespace {

// The library's preferred I/O size is held within these bounds.
constexpr std::size_t kLargestDefaultPageSize = 16384;
// The serial of the file ids of one process: its id first, then this much
// more for each file (as the library's own).
constexpr std::uint32_t kFileSerialStep = 100000;

// The length of `next` that still sorts after `last` (which sorts before
// it): their common prefix and one byte more, or all of `next`.
std::size_t distinguishingLength(std::span<const std::uint8_t> last,
                                 std::span<const std::uint8_t> next) {
  const auto differ = std::mismatch(last.begin(), last.end(), next.begin(), next.end());
  return std::min(static_cast<std::size_t>(differ.second - next.begin()) + 1, next.size());
}

// A file id as the library makes one for a new file: the file's inode and
// device, a word of the process id, the time and randomness, a serial.
void storeFileId(int fd, std::span<std::uint8_t> meta) {
  static std::atomic<std::uint32_t> serial{static_cast<std::uint32_t>(getpid())};
  struct stat info {};
  fstat(fd, &info);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::random_device random;
  const std::uint32_t unique = static_cast<std::uint32_t>(getpid()) ^
                               static_cast<std::uint32_t>(now.tv_sec) ^
                               static_cast<std::uint32_t>(now.tv_nsec) ^ random();
  const std::uint32_t words[] = {static_cast<std::uint32_t>(info.st_ino),
                                 static_cast<std::uint32_t>(info.st_dev), unique,
                                 serial.fetch_add(kFileSerialStep)};
  for (std::size_t i = 0; i < std::size(words); ++i) {
    store32(meta, kFileIdOffset + i * sizeof words[0], words[i]);
  }
}

Status refusedItem() { return Status::systemFailure(Status::Code::kWriteFailed, EINVAL); }

}  // namespace

std::size_t libraryDefaultPageSize(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return kIndexerPageSize;
  const auto preferred = std::clamp<std::size_t>(static_cast<std::size_t>(info.st_blksize),
                                                 kSmallestPageSize, kLargestDefaultPageSize);
  return std::has_single_bit(preferred) ? preferred : kIndexerPageSize;
}

BtreeWriter::BtreeWriter(int fd, std::size_t pageSize)
    : fd_(fd), pageSize_(pageSize), threshold_(0), overflow_(pageSize) {
  if (!std::has_single_bit(pageSize) || pageSize < kSmallestPageSize ||
      pageSize > kLargestPageSize) {
    throw std::invalid_argument("B-tree page size out of range");
  }
  threshold_ = overflowThreshold(pageSize);
  levels_.emplace_back(pageSize);
  levels_[0].reset(allocatePage(), kLeafPage, kLeafLevel);
  firstPages_.push_back(kRootPage);
}

Status BtreeWriter::add(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
  if (!failed_.ok()) return failed_;
  if (finished_) return refusedItem();
  constexpr std::size_t kLongest = std::numeric_limits<std::uint32_t>::max();
  if ((haveKey_ && !keySortsBefore(lastKey_, key)) || key.size() > kLongest ||
      data.size() > kLongest) {
    return refusedItem();
  }
  const auto room = [&](std::size_t size) {
    return itemRoom(size > threshold_ ? kOverflowReferenceSize : kBytesItemHeaderSize + size);
  };
  PageImage& leaf = levels_[0];
  if (leaf.entries() > 0 && leaf.room() < room(key.size()) + room(data.size())) {
    failed_ = startLeaf(key);
  }
  if (failed_.ok()) failed_ = appendLeafItem(key);
  if (failed_.ok()) failed_ = appendLeafItem(data);
  if (!failed_.ok()) return failed_;
  lastKey_.assign(key.begin(), key.end());
  haveKey_ = true;
  return {};
}

Status BtreeWriter::appendLeafItem(std::span<const std::uint8_t> bytes) {
  std::uint8_t head[kOverflowReferenceSize] = {};
  if (bytes.size() <= threshold_) {
    store16(head, kItemLengthOffset, static_cast<std::uint16_t>(bytes.size()));
    head[kItemTypeOffset] = kBytesItem;
    levels_[0].append(std::span(head).first(kBytesItemHeaderSize), bytes);
    return {};
  }
  std::uint32_t first = 0;
  Status written = writeOverflow(bytes, first);
  if (!written.ok()) return written;
  head[kItemTypeOffset] = kOverflowItem;
  store32(head, kOverflowReferencePageOffset, first);
  store32(head, kOverflowReferenceLengthOffset, static_cast<std::uint32_t>(bytes.size()));
  levels_[0].append(head, {});
  return {};
}

Status BtreeWriter::writeOverflow(std::span<const std::uint8_t> bytes, std::uint32_t& first) {
  const std::size_t capacity = pageSize_ - kHeaderSize;
  first = allocatePage();
  std::uint32_t previous = 0;
  std::uint32_t number = first;
  while (true) {
    const std::size_t piece = std::min(capacity, bytes.size());
    const std::uint32_t next = piece < bytes.size() ? allocatePage() : 0;
    overflow_.reset(number, kOverflowPage, 0);
    overflow_.link(previous, next);
    overflow_.holdPiece(bytes.first(piece));
    Status written = writePage(number, overflow_.bytes());
    if (!written.ok()) return written;
    bytes = bytes.subspan(piece);
    if (next == 0) return {};
    previous = number;
    number = next;
  }
}

Status BtreeWriter::startLeaf(std::span<const std::uint8_t> firstKey) {
  PageImage& leaf = levels_[0];
  moveOffRoot(0);
  const std::uint32_t full = leaf.number();
  const std::uint32_t number = allocatePage();
  leaf.link(leafBefore_, number);
  Status written = writePage(full, leaf.bytes());
  if (!written.ok()) return written;
  Entry entry;
  written = leafEntry(number, firstKey, entry);
  if (!written.ok()) return written;
  leaf.reset(number, kLeafPage, kLeafLevel);
  leaf.link(full, 0);
  leafBefore_ = full;
  return enter(1, std::move(entry));
}

Status BtreeWriter::leafEntry(std::uint32_t child, std::span<const std::uint8_t> firstKey,
                              Entry& entry) {
  entry.child = child;
  if (firstKey.size() > threshold_) {
    // The internal page gets a chain of its own: the leaf's may be deleted
    // with its item.
    entry.overflowLength = static_cast<std::uint32_t>(firstKey.size());
    return writeOverflow(firstKey, entry.overflowPage);
  }
  // The shortest start of the key that still sorts after the last key of
  // the leaf before, when that saves room; not against a key on overflow
  // pages, as the library does.
  std::size_t length = firstKey.size();
  if (lastKey_.size() <= threshold_) {
    const std::size_t shorter = distinguishingLength(lastKey_, firstKey);
    if (itemRoom(kInternalItemHeaderSize + shorter) < itemRoom(kInternalItemHeaderSize + length)) {
      length = shorter;
    }
  }
  entry.key.assign(firstKey.begin(), firstKey.begin() + static_cast<std::ptrdiff_t>(length));
  return {};
}

Status BtreeWriter::enter(std::size_t level, Entry entry) {
  if (level == levels_.size()) makeLevel(level);
  PageImage& page = levels_[level];
  const std::size_t size = entry.overflowPage != 0 ? kOverflowReferenceSize : entry.key.size();
  if (page.room() >= itemRoom(kInternalItemHeaderSize + size)) {
    appendEntry(page, entry);
    return {};
  }
  // A new page, whose first entry, as every first entry of an internal
  // page, has an empty key (no search compares with it): the entry's key
  // goes up to the level above, as that of the new page.
  moveOffRoot(level);
  Status written = writePage(page.number(), page.bytes());
  if (!written.ok()) return written;
  const std::uint32_t number = allocatePage();
  page.reset(number, kInternalPage, static_cast<std::uint8_t>(kLeafLevel + level));
  appendEntry(page, Entry{entry.child, {}, 0, 0});
  entry.child = number;
  return enter(level + 1, std::move(entry));
}

void BtreeWriter::moveOffRoot(std::size_t level) {
  if (levels_[level].number() != kRootPage) return;
  levels_[level].renumber(allocatePage());
  firstPages_[level] = levels_[level].number();
}

void BtreeWriter::makeLevel(std::size_t level) {
  levels_.emplace_back(pageSize_);
  levels_[level].reset(kRootPage, kInternalPage, static_cast<std::uint8_t>(kLeafLevel + level));
  appendEntry(levels_[level], Entry{firstPages_[level - 1], {}, 0, 0});
  firstPages_.push_back(kRootPage);
}

void BtreeWriter::appendEntry(PageImage& page, const Entry& entry) {
  std::uint8_t head[kInternalItemHeaderSize + kOverflowReferenceSize] = {};
  store32(head, kInternalItemChildOffset, entry.child);
  if (entry.overflowPage == 0) {
    store16(head, kItemLengthOffset, static_cast<std::uint16_t>(entry.key.size()));
    head[kItemTypeOffset] = kBytesItem;
    page.append(std::span(head).first(kInternalItemHeaderSize), entry.key);
    return;
  }
  store16(head, kItemLengthOffset, static_cast<std::uint16_t>(kOverflowReferenceSize));
  head[kItemTypeOffset] = kOverflowItem;
  std::span<std::uint8_t> reference = std::span(head).subspan(kInternalItemHeaderSize);
  reference[kItemTypeOffset] = kOverflowItem;
  store32(reference, kOverflowReferencePageOffset, entry.overflowPage);
  store32(reference, kOverflowReferenceLengthOffset, entry.overflowLength);
  page.append(head, {});
}

Status BtreeWriter::finish() {
  if (!failed_.ok()) return failed_;
  if (finished_) return refusedItem();
  finished_ = true;
  // Every current page is entered in the level above already (the first
  // of each level as the first entry of the level above it); the top
  // level's only page is the root, page 1.
  for (const PageImage& page : levels_) {
    failed_ = writePage(page.number(), page.bytes());
    if (!failed_.ok()) return failed_;
  }
  if (!run_.empty()) failed_ = writeRun();
  if (failed_.ok()) failed_ = writeMetadata();
  return failed_;
}

std::vector<std::uint8_t> metadataPage(std::size_t pageSize, std::uint32_t lastPage) {
  std::vector<std::uint8_t> meta(pageSize);
  store32(meta, kLogOffsetOffset, kNotLoggedOffset);
  store32(meta, kMagicOffset, kBtreeMagic);
  store32(meta, kVersionOffset, kBtreeVersion);
  store32(meta, kPageSizeOffset, static_cast<std::uint32_t>(pageSize));
  meta[kTypeOffset] = kMetadataPage;
  store32(meta, kLastPageOffset, lastPage);
  store32(meta, kMinimumKeysOffset, kMinimumKeys);
  store32(meta, kRecordPadOffset, kDefaultRecordPad);
  store32(meta, kRootOffset, kRootPage);
  return meta;
}

Status BtreeWriter::writeMetadata() {
  std::vector<std::uint8_t> meta = metadataPage(pageSize_, nextPage_ - 1);
  storeFileId(fd_, meta);
  return writeAt(0, meta);
}

Status BtreeWriter::writePage(std::uint32_t number, std::span<const std::uint8_t> page) {
  const bool follows = number == runFirst_ + run_.size() / pageSize_;
  if (!run_.empty() && (!follows || run_.size() + page.size() > kWriteRunBytes)) {
    Status written = writeRun();
    if (!written.ok()) return written;
  }
  if (run_.empty()) runFirst_ = number;
  run_.insert(run_.end(), page.begin(), page.end());
  return {};
}

Status BtreeWriter::writeRun() {
  Status written = writeAt(std::uint64_t{runFirst_} * pageSize_, run_);
  run_.clear();
  return written;
}

Status BtreeWriter::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  auto at = static_cast<off_t>(offset);
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd_, bytes.data(), bytes.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::systemFailure(Status::Code::kWriteFailed, errno);
    // A write that takes nothing: the disk is full.
    if (n == 0) return Status::systemFailure(Status::Code::kWriteFailed, ENOSPC);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
    at += n;
  }
  return {};
}

void BtreeWriter::startWriteback() { sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE); }

Status BtreeWriter::sync() {
  if (!failed_.ok()) return failed_;
  if (fsync(fd_) != 0) return Status::systemFailure(Status::Code::kWriteFailed, errno);
  return {};
}

}  // namespace indicizza
