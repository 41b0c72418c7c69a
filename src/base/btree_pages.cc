#include "base/btree_pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <vector>

#include "base/regular_file.h"

namespace indicizza {

using namespace btree_layout;

std::uint32_t BtreePageCheck::load32(std::span<const std::uint8_t> page, std::size_t offset) const {
  return loadFileNumber32(page, offset, bigEndian_);
}

std::uint16_t BtreePageCheck::load16(std::span<const std::uint8_t> page, std::size_t offset) const {
  return loadFileNumber16(page, offset, bigEndian_);
}

void BtreePageCheck::feed(std::span<const std::uint8_t> bytes) {
  bytesFed_ += bytes.size();
  while (!bytes.empty() && verdict_ == Status::Code::kOk) {
    if (skipping_ > 0) {
      const std::size_t n = std::min(skipping_, bytes.size());
      bytes = bytes.subspan(n);
      skipping_ -= n;
      continue;
    }
    // Until the metadata is read, the smallest page size: the metadata's
    // fields all lie within it.
    const std::size_t want = haveMetadata_ ? pageSize_ : kSmallestPageSize;
    std::span<const std::uint8_t> page;
    if (partial_.empty() && bytes.size() >= want) {
      page = bytes.first(want);
      bytes = bytes.subspan(want);
    } else {
      const std::size_t take = std::min(want - partial_.size(), bytes.size());
      partial_.insert(partial_.end(), bytes.begin(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(take));
      bytes = bytes.subspan(take);
      if (partial_.size() < want) return;
      page = partial_;
    }
    if (!haveMetadata_) {
      readMetadata(page);
      skipping_ = pageSize_ - kSmallestPageSize;  // the rest of page 0
      pagesSeen_ = 1;
    } else {
      if (pagesSeen_ <= lastPage_) checkPage(pagesSeen_, page);
      ++pagesSeen_;
    }
    partial_.clear();
  }
}

void BtreePageCheck::readMetadata(std::span<const std::uint8_t> page) {
  haveMetadata_ = true;
  pageSize_ = kSmallestPageSize;
  // The magic number tells the byte order of the machine that made the file.
  std::uint32_t magic = load32(page, kMagicOffset);
  if (magic != kBtreeMagic) {
    bigEndian_ = true;
    magic = load32(page, kMagicOffset);
  }
  const std::uint32_t pageSize = load32(page, kPageSizeOffset);
  const std::uint32_t treeFlags = load32(page, kTreeFlagsOffset);
  const std::uint8_t metaFlags = page[kMetaFlagsOffset];
  // What the library can't open at all (an encrypted file among them, named
  // apart), then what it opens but this program never makes.
  if (magic != kBtreeMagic || load32(page, kPageNumberOffset) != 0 ||
      page[kTypeOffset] != kMetadataPage || !std::has_single_bit(pageSize) ||
      pageSize < kSmallestPageSize || pageSize > kLargestPageSize ||
      load32(page, kVersionOffset) != kBtreeVersion) {
    verdict_ = Status::Code::kUnknownFormat;
  } else if (page[kEncryptionOffset] != 0) {
    verdict_ = Status::Code::kEncrypted;
  } else if ((treeFlags & kRecnoTreeFlags) != 0 || fileSize_ % pageSize != 0) {
    verdict_ = Status::Code::kUnknownFormat;
  } else if ((treeFlags & kForeignTreeFlags) != 0 || (metaFlags & ~kChecksumsFlag) != 0) {
    verdict_ = Status::Code::kForeign;
  } else if ((metaFlags & kChecksumsFlag) != 0 &&
             !checksumMatches(page.first(kChecksummedMetadataSize), kMetadataChecksumOffset)) {
    verdict_ = Status::Code::kDamaged;
  }
  if (verdict_ != Status::Code::kOk) return;
  pageSize_ = pageSize;
  checksums_ = (metaFlags & kChecksumsFlag) != 0;
  headerSize_ = checksums_ ? kChecksummedHeaderSize : kHeaderSize;
  lastPage_ = load32(page, kLastPageOffset);
  root_ = load32(page, kRootOffset);
  freeList_ = load32(page, kFreeListOffset);
  // A file cut short, or metadata that points past the file.
  if (std::uint64_t{lastPage_} >= fileSize_ / pageSize_ || root_ == 0 || root_ > lastPage_ ||
      freeList_ > lastPage_) {
    verdict_ = Status::Code::kDamaged;
    return;
  }
  pages_.resize(std::size_t{lastPage_} + 1);
}

void BtreePageCheck::checkPage(std::uint32_t number, std::span<const std::uint8_t> page) {
  PageLinks& links = pages_[number];
  links.type = page[kTypeOffset];
  links.level = page[kLevelOffset];
  links.previous = load32(page, kPreviousPageOffset);
  links.next = load32(page, kNextPageOffset);
  bool sound = load32(page, kPageNumberOffset) == number &&
               (!checksums_ || checksumMatches(page, kPageChecksumOffset));
  switch (links.type) {
    case kFreePage: break;
    case kInternalPage:
      sound = sound && links.level > kLeafLevel && checkItems(number, page, links);
      break;
    case kLeafPage:
      sound = sound && links.level == kLeafLevel && checkItems(number, page, links);
      break;
    case kOverflowPage:
      // The free-offset field counts the bytes the page holds.
      sound =
          sound && links.level == 0 && load16(page, kFreeOffsetOffset) <= pageSize_ - headerSize_;
      break;
    default: sound = false;
  }
  if (!sound) verdict_ = Status::Code::kDamaged;
}

bool BtreePageCheck::checkItems(std::uint32_t number, std::span<const std::uint8_t> page,
                                const PageLinks& links) {
  const std::size_t entries = load16(page, kEntriesOffset);
  const std::size_t itemsBegin = load16(page, kFreeOffsetOffset);
  if (headerSize_ + 2 * entries > itemsBegin || itemsBegin > pageSize_) return false;
  const bool internal = links.type == kInternalPage;
  // A leaf holds keys and data in pairs; an internal page at least one child.
  if (internal ? entries == 0 : entries % 2 != 0) return false;
  for (std::size_t i = 0; i < entries; ++i) {
    const std::size_t at = load16(page, headerSize_ + 2 * i);
    if (at < itemsBegin || at + kBytesItemHeaderSize > pageSize_) return false;
    const std::uint8_t type = page[at + kItemTypeOffset] & kItemTypeMask;
    const std::size_t length = load16(page, at);
    if (internal) {
      const std::size_t size =
          kInternalItemHeaderSize + (type == kOverflowItem ? kOverflowReferenceSize : length);
      if ((type != kBytesItem && type != kOverflowItem) || at + size > pageSize_) return false;
      const std::uint32_t child = load32(page, at + kInternalItemChildOffset);
      const std::uint8_t childLevel = static_cast<std::uint8_t>(links.level - 1);
      references_.push_back(
          {child, childLevel == kLeafLevel ? kLeafPage : kInternalPage, childLevel});
      if (i == 0) pages_[number].firstChild = child;
      pages_[number].lastChild = child;
      if (type == kOverflowItem) {
        references_.push_back(
            {load32(page, at + kInternalItemHeaderSize + kOverflowReferencePageOffset),
             kOverflowPage, 0});
      }
    } else if (type == kBytesItem) {
      if (at + kBytesItemHeaderSize + length > pageSize_) return false;
    } else if (type == kOverflowItem) {
      if (at + kOverflowReferenceSize > pageSize_) return false;
      references_.push_back({load32(page, at + kOverflowReferencePageOffset), kOverflowPage, 0});
    } else {
      return false;
    }
  }
  return true;
}

bool BtreePageCheck::checksumMatches(std::span<const std::uint8_t> covered,
                                     std::size_t offset) const {
  return load32(covered, offset) == pageChecksum(covered, offset);
}

bool BtreePageCheck::linksAreSound() const {
  const auto inFile = [&](std::uint32_t page) { return page != 0 && page <= lastPage_; };
  for (const Reference& reference : references_) {
    if (!inFile(reference.page)) return false;
    const PageLinks& target = pages_[reference.page];
    if (target.type != reference.type || target.level != reference.level) return false;
    // An overflow item points to the first page of its chain.
    if (reference.type == kOverflowPage && target.previous != 0) return false;
  }
  // Leaves and overflow pages are chained both ways: a walk from the first
  // one never comes back to a page it has passed.
  for (std::uint32_t number = 1; number <= lastPage_; ++number) {
    const PageLinks& page = pages_[number];
    if (page.type != kLeafPage && page.type != kOverflowPage) continue;
    if (page.next != 0 && (!inFile(page.next) || pages_[page.next].type != page.type ||
                           pages_[page.next].previous != number)) {
      return false;
    }
    if (page.previous != 0 && (!inFile(page.previous) || pages_[page.previous].type != page.type ||
                               pages_[page.previous].next != number)) {
      return false;
    }
  }
  // The root, and the ends of the leaf chain that a walk starts and stops at.
  const PageLinks& root = pages_[root_];
  if (root.type != kLeafPage && root.type != kInternalPage) return false;
  std::uint32_t first = root_;
  std::uint32_t last = root_;
  while (pages_[first].type == kInternalPage) first = pages_[first].firstChild;
  while (pages_[last].type == kInternalPage) last = pages_[last].lastChild;
  if (pages_[first].previous != 0 || pages_[last].next != 0) return false;
  // The chain from the first leaf passes every leaf and ends at the last: a
  // chain cut in two, with each piece's links agreeing, would end a walk
  // early and make the library's puts loop.
  std::uint32_t leaves = 0;
  for (std::uint32_t number = 1; number <= lastPage_; ++number) {
    if (pages_[number].type == kLeafPage) ++leaves;
  }
  std::uint32_t chained = 1;
  std::uint32_t end = first;
  for (; pages_[end].next != 0; end = pages_[end].next) {
    if (++chained > leaves) return false;
  }
  if (end != last || chained != leaves) return false;
  // The free list ends, and holds free pages only.
  std::uint32_t steps = 0;
  for (std::uint32_t page = freeList_; page != 0; page = pages_[page].next) {
    if (!inFile(page) || pages_[page].type != kFreePage || ++steps > lastPage_) return false;
  }
  return true;
}

Status BtreePageCheck::finish() {
  if (verdict_ != Status::Code::kOk) return Status::failure(verdict_);
  // Shorter than the smallest page: no metadata at all.
  if (!haveMetadata_) return Status::failure(Status::Code::kUnknownFormat);
  // The file changed length while it was read.
  if (bytesFed_ != fileSize_ || pagesSeen_ <= lastPage_ || !linksAreSound()) {
    return Status::failure(Status::Code::kDamaged);
  }
  return {};
}

namespace {

// What the sum so far is multiplied by before each byte is added.
constexpr std::uint32_t kChecksumFactor = 33;

std::uint32_t continuedSum(std::uint32_t sum, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) sum = sum * kChecksumFactor + byte;
  return sum;
}

}  // namespace

std::uint32_t pageChecksum(std::span<const std::uint8_t> covered, std::size_t offset) {
  std::uint32_t sum = continuedSum(0, covered.first(offset));
  for (std::size_t i = 0; i < kChecksumSize; ++i) sum *= kChecksumFactor;
  return continuedSum(sum, covered.subspan(offset + kChecksumSize));
}

std::string encryptedFileSentence(std::string_view fileName) {
  return std::string(fileName) +
         " è cifrato: si apre solo con la sua password, che questo programma non chiede "
         "(ricrearlo in chiaro con db5.3_dump -P e db5.3_load)";
}

Status readCheckedPages(int fd, std::uint64_t size) {
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  BtreePageCheck check(size);
  std::vector<std::uint8_t> piece(kCheckedPieceBytes);
  for (std::uint64_t done = 0; done < size;) {
    const std::span<std::uint8_t> bytes(
        piece.data(), static_cast<std::size_t>(std::min<std::uint64_t>(size - done, piece.size())));
    Status read = readFileAt(fd, done, bytes);
    if (!read.ok()) return read;
    check.feed(bytes);
    done += bytes.size();
  }
  return check.finish();
}

Status checkBtreeFile(const std::filesystem::path& path, std::optional<FileIdentity>* checked) {
  if (checked) checked->reset();
  int fd = -1;
  const Status opened = openRegularFile(path.c_str(), O_RDONLY, fd);
  if (!opened.ok()) return opened;
  const std::optional<FileIdentity> identity = identityOfOpenFile(fd);
  Status verdict = Status::failure(Status::Code::kReadFailed);
  if (identity) {
    verdict = readCheckedPages(fd, static_cast<std::uint64_t>(identity->size));
    if (checked) *checked = identity;
  }
  close(fd);
  return verdict;
}

}  // namespace indicizza
