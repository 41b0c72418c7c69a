#include "base/page_item_walk.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "base/btree_pages.h"
#include "base/item_walk.h"
#include "base/regular_file.h"

namespace indicizza {

using namespace btree_layout;

namespace {

// A window's first read takes this many pages; each read that is used
// whole doubles the next, up to kMostWindowBytes, and one used in part sets
// the next to the pages it served. A file written in key order is read in
// long runs; one whose leaves lie anywhere, a few pages at a time.
constexpr std::uint32_t kFirstWindowPages = 16;
constexpr std::size_t kMostWindowBytes = std::size_t{1} << 20;

}  // namespace

PageItemWalk::PageItemWalk(int fd, std::uint64_t fileSize)
    : fd_(fd), fileSize_(fileSize), mostItems_(fileSize / kSmallestItemFootprint) {
  leaves_.want = kFirstWindowPages;
  overflowPages_.want = kFirstWindowPages;
  over_ = !readMetadata();
}

bool PageItemWalk::fail(Status::Code code) {
  over_ = true;
  status_ = Status::failure(code);
  return false;
}

std::uint32_t PageItemWalk::load32(std::span<const std::uint8_t> bytes, std::size_t offset) const {
  return loadFileNumber32(bytes, offset, bigEndian_);
}

std::uint16_t PageItemWalk::load16(std::span<const std::uint8_t> bytes, std::size_t offset) const {
  return loadFileNumber16(bytes, offset, bigEndian_);
}

bool PageItemWalk::readMetadata() {
  std::array<std::uint8_t, kSmallestPageSize> meta{};
  if (fileSize_ < meta.size() || !readFileAt(fd_, 0, meta).ok())
    return fail(Status::Code::kReadFailed);
  if (load32(meta, kMagicOffset) != kBtreeMagic) bigEndian_ = true;
  const std::uint32_t pageSize = load32(meta, kPageSizeOffset);
  if (load32(meta, kMagicOffset) != kBtreeMagic || !std::has_single_bit(pageSize) ||
      pageSize < kSmallestPageSize || pageSize > kLargestPageSize || meta[kEncryptionOffset] != 0 ||
      fileSize_ % pageSize != 0)
    return fail(Status::Code::kDamaged);
  pageSize_ = pageSize;
  headerSize_ =
      (meta[kMetaFlagsOffset] & kChecksumsFlag) != 0 ? kChecksummedHeaderSize : kHeaderSize;
  lastPage_ = load32(meta, kLastPageOffset);
  root_ = load32(meta, kRootOffset);
  if (std::uint64_t{lastPage_} >= fileSize_ / pageSize_ || root_ == 0 || root_ > lastPage_)
    return fail(Status::Code::kDamaged);
  return true;
}

std::span<const std::uint8_t> PageItemWalk::anyPage(Window& window, std::uint32_t number) {
  if (number == 0 || number > lastPage_) {
    fail(Status::Code::kDamaged);
    return {};
  }
  if (number < window.first || number - window.first >= window.pages) {
    if (window.pages > 0) {
      const std::uint32_t most = static_cast<std::uint32_t>(kMostWindowBytes / pageSize_);
      window.want = window.served >= window.pages ? std::min(window.want * 2, std::max(most, 1u))
                                                  : std::max(window.served, 1u);
    }
    const std::uint32_t pages = std::min(window.want, lastPage_ + 1 - number);
    window.bytes.resize(std::size_t{pages} * pageSize_);
    if (!readFileAt(fd_, std::uint64_t{number} * pageSize_, window.bytes).ok()) {
      window.pages = 0;
      fail(Status::Code::kReadFailed);
      return {};
    }
    window.first = number;
    window.pages = pages;
    window.served = 0;
  }
  ++window.served;
  const std::span<const std::uint8_t> found =
      std::span<const std::uint8_t>(window.bytes)
          .subspan(std::size_t{number - window.first} * pageSize_, pageSize_);
  if (load32(found, kPageNumberOffset) != number) {
    fail(Status::Code::kDamaged);
    return {};
  }
  return found;
}

std::span<const std::uint8_t> PageItemWalk::page(Window& window, std::uint32_t number,
                                                 std::uint8_t type, std::uint8_t level) {
  const std::span<const std::uint8_t> found = anyPage(window, number);
  if (!found.empty() && (found[kTypeOffset] != type || found[kLevelOffset] != level)) {
    fail(Status::Code::kDamaged);
    return {};
  }
  return found;
}

std::uint32_t PageItemWalk::edgeLeaf(bool leftmost) {
  std::uint32_t number = root_;
  // The root's level is what its page says; every step goes one down.
  const std::span<const std::uint8_t> root = anyPage(leaves_, root_);
  if (root.empty()) return 0;
  for (std::uint8_t level = root[kLevelOffset]; level > kLeafLevel; --level) {
    const std::span<const std::uint8_t> internal = page(leaves_, number, kInternalPage, level);
    if (internal.empty()) return 0;
    const std::size_t entries = load16(internal, kEntriesOffset);
    const std::size_t slot = headerSize_ + kItemOffsetSize * (leftmost ? 0 : entries - 1);
    const std::size_t at =
        entries == 0 || slot + kItemOffsetSize > pageSize_ ? pageSize_ : load16(internal, slot);
    if (at + kInternalItemHeaderSize > pageSize_) {
      fail(Status::Code::kDamaged);
      return 0;
    }
    number = load32(internal, at + kInternalItemChildOffset);
  }
  return page(leaves_, number, kLeafPage, kLeafLevel).empty() ? 0 : number;
}

bool PageItemWalk::nextLeaf() {
  std::uint32_t number = 0;
  if (leafNumber_ == 0) {
    number = edgeLeaf(true);
    lastLeaf_ = number == 0 ? 0 : edgeLeaf(false);
    if (lastLeaf_ == 0) return false;
  } else {
    number = load32(leaf_, kNextPageOffset);
    if (number == 0) {
      // The chain must end where the tree does, not at a leaf that merely
      // claims to be the last.
      if (leafNumber_ != lastLeaf_) return fail(Status::Code::kDamaged);
      over_ = true;
      if (items_ == 0) status_ = Status::failure(Status::Code::kEmpty);
      return false;
    }
  }
  if (++leavesVisited_ > lastPage_) return fail(Status::Code::kDamaged);
  const std::uint32_t previous = leafNumber_;
  leaf_ = page(leaves_, number, kLeafPage, kLeafLevel);
  if (leaf_.empty()) return false;
  leafNumber_ = number;
  leafEntries_ = load16(leaf_, kEntriesOffset);
  leafItemsBegin_ = load16(leaf_, kFreeOffsetOffset);
  nextEntry_ = 0;
  if (load32(leaf_, kPreviousPageOffset) != previous || leafEntries_ % 2 != 0 ||
      headerSize_ + kItemOffsetSize * leafEntries_ > leafItemsBegin_ || leafItemsBegin_ > pageSize_)
    return fail(Status::Code::kDamaged);
  return true;
}

bool PageItemWalk::gatherOverflow(std::uint32_t first, std::uint32_t length,
                                  std::vector<std::uint8_t>& overflow) {
  // The buffer only grows: its bytes need no clearing for each item.
  if (overflow.size() < length) overflow.resize(length);
  std::uint32_t number = first;
  std::uint32_t previous = 0;
  for (std::uint32_t got = 0; got < length;) {
    const std::span<const std::uint8_t> piece = page(overflowPages_, number, kOverflowPage, 0);
    if (piece.empty()) return false;
    // Each page of the chain holds some bytes of the item, and no more than
    // it has left: the chain can't go round.
    const std::size_t bytes = load16(piece, kFreeOffsetOffset);
    if (load32(piece, kPreviousPageOffset) != previous || bytes == 0 ||
        bytes > pageSize_ - headerSize_ || bytes > length - got)
      return fail(Status::Code::kDamaged);
    std::memcpy(overflow.data() + got, piece.data() + headerSize_, bytes);
    got += static_cast<std::uint32_t>(bytes);
    previous = number;
    number = load32(piece, kNextPageOffset);
  }
  return true;
}

bool PageItemWalk::itemAt(std::size_t index, std::vector<std::uint8_t>& overflow, bdb::Item& item) {
  const std::size_t at = load16(leaf_, headerSize_ + kItemOffsetSize * index);
  if (at < leafItemsBegin_ || at + kBytesItemHeaderSize > pageSize_)
    return fail(Status::Code::kDamaged);
  const std::uint8_t type = leaf_[at + kItemTypeOffset] & kItemTypeMask;
  if (type == kBytesItem) {
    const std::size_t length = load16(leaf_, at + kItemLengthOffset);
    if (at + kBytesItemHeaderSize + length > pageSize_) return fail(Status::Code::kDamaged);
    item = {leaf_.data() + at + kBytesItemHeaderSize, length};
    return true;
  }
  if (type != kOverflowItem || at + kOverflowReferenceSize > pageSize_)
    return fail(Status::Code::kDamaged);
  const std::uint32_t length = load32(leaf_, at + kOverflowReferenceLengthOffset);
  if (!gatherOverflow(load32(leaf_, at + kOverflowReferencePageOffset), length, overflow))
    return false;
  item = {overflow.data(), length};
  return true;
}

bool PageItemWalk::next(bdb::Item& key, bdb::Item& data) {
  while (!over_) {
    if (nextEntry_ >= leafEntries_) {
      if (!nextLeaf()) return false;
      continue;
    }
    const std::size_t index = nextEntry_;
    nextEntry_ += 2;
    // A pair whose data item is marked deleted is one the library's cursors
    // pass over.
    const std::size_t dataAt = load16(leaf_, headerSize_ + kItemOffsetSize * (index + 1));
    if (dataAt + kBytesItemHeaderSize <= pageSize_ &&
        (leaf_[dataAt + kItemTypeOffset] & ~kItemTypeMask) != 0)
      continue;
    if (!itemAt(index, keyOverflow_, key) || !itemAt(index + 1, dataOverflow_, data)) return false;
    if ((items_ > 0 && !keySortsBefore(lastKey_, key.bytes())) || ++items_ > mostItems_)
      return fail(Status::Code::kDamaged);
    lastKey_.assign(key.data, key.data + key.size);
    return true;
  }
  return false;
}

}  // namespace indicizza
