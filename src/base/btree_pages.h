// A look at every page of a B-tree file before the library is let loose on
// it.
//
// The library trusts its pages: a zeroed page, a file cut short or a link
// that points back makes a put or a cursor walk loop for ever, or end early
// as if the data were exhausted. This check reads the file's pages as bytes,
// front to back, and tells whether the tree's links are sound: every page is
// where its number says, a tree descent always goes one level down, the leaf
// and overflow chains are linked both ways, the leaf chain passes every leaf,
// the free list ends. It does not
// read the items' contents, only where they lie.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_identity.h"
#include "base/status.h"

namespace indicizza {

// Byte layout of the library's B-tree files (pages of a power-of-two size
// from 512 to 65536 bytes; page 0 holds the metadata). Every number is in
// the byte order of the machine that made the file.
namespace btree_layout {

inline constexpr std::size_t kSmallestPageSize = 512;
inline constexpr std::size_t kLargestPageSize = 65536;

// Metadata page.
inline constexpr std::size_t kMagicOffset = 12;
inline constexpr std::size_t kVersionOffset = 16;
inline constexpr std::size_t kPageSizeOffset = 20;
inline constexpr std::size_t kEncryptionOffset = 24;
inline constexpr std::size_t kMetaFlagsOffset = 26;  // one byte: checksums, partitions
inline constexpr std::size_t kFreeListOffset = 28;
inline constexpr std::size_t kLastPageOffset = 32;
inline constexpr std::size_t kKeyCountOffset = 40;     // kept 0 by puts: only a full stat sets it
inline constexpr std::size_t kRecordCountOffset = 44;  // likewise
inline constexpr std::size_t kTreeFlagsOffset = 48;
inline constexpr std::size_t kFileIdOffset = 52;
inline constexpr std::size_t kFileIdSize = 20;  // inode, device, a random word, a serial, zeros
inline constexpr std::size_t kMinimumKeysOffset = 76;
inline constexpr std::size_t kRecordPadOffset = 84;  // Recno's pad byte, stored by B-trees too
inline constexpr std::size_t kRootOffset = 88;
inline constexpr std::uint32_t kBtreeMagic = 0x053162;
inline constexpr std::uint32_t kBtreeVersion = 9;
// What a new B-tree of this program's kind stores: the least number of keys
// a page must be able to hold (which sets the overflow threshold, see
// overflowThreshold), and the default pad byte, a space.
inline constexpr std::uint32_t kMinimumKeys = 2;
inline constexpr std::uint32_t kDefaultRecordPad = 0x20;
// The root of the file's one tree: always page 1, whatever its level (the
// library moves the root's items down to new pages when it splits it, and
// its verifier demands it).
inline constexpr std::uint32_t kRootPage = 1;
// Meta flags: the pages carry checksums. The others (partitions) are of
// files this program never makes.
inline constexpr std::uint8_t kChecksumsFlag = 0x01;
// Tree flags of a Recno database, which shares the B-tree's file format but
// which the library opens as no B-tree: record numbers for keys, fixed
// length, renumbering.
inline constexpr std::uint32_t kRecnoTreeFlags = 0x2 | 0x8 | 0x10;
// Tree flags this program's databases never carry, though the library opens
// such B-trees: duplicate keys (unsorted, sorted), sub-databases,
// compression.
inline constexpr std::uint32_t kForeignTreeFlags = 0x1 | 0x40 | 0x20 | 0x80;

// Header of every page: the log sequence number, which a file written with
// no log holds as "not logged" (file 0, offset 1).
inline constexpr std::size_t kLogOffsetOffset = 4;
inline constexpr std::uint32_t kNotLoggedOffset = 1;
// Header of every other page.
inline constexpr std::size_t kPageNumberOffset = 8;
inline constexpr std::size_t kPreviousPageOffset = 12;
inline constexpr std::size_t kNextPageOffset = 16;
inline constexpr std::size_t kEntriesOffset = 20;     // 16 bits
inline constexpr std::size_t kFreeOffsetOffset = 22;  // 16 bits: where the items begin
inline constexpr std::size_t kLevelOffset = 24;
inline constexpr std::size_t kTypeOffset = 25;
inline constexpr std::size_t kHeaderSize = 26;  // then one 16-bit item offset per entry
inline constexpr std::size_t kItemOffsetSize = 2;
// Items lie at offsets that are multiples of this, each padded to one.
inline constexpr std::size_t kItemAlignment = 4;
// An overflow page holds a piece of one item right after its header: the
// free-offset field counts its bytes, the entries field the references to
// the chain (always 1).
inline constexpr std::uint16_t kOverflowReferences = 1;

// Page checksums (kChecksumsFlag): a 32-bit sum of the page's bytes, taken
// with the sum's own bytes as zeros (see pageChecksum), stored in the byte
// order of the file's numbers. On the metadata page it covers the first
// kChecksummedMetadataSize bytes; on the others, the whole page, and it lies
// after two unused bytes at the end of the header, so that the item offsets
// begin kChecksummedHeaderSize bytes in.
inline constexpr std::size_t kMetadataChecksumOffset = 492;
inline constexpr std::size_t kChecksummedMetadataSize = 512;
inline constexpr std::size_t kPageChecksumOffset = 28;
inline constexpr std::size_t kChecksumSize = 4;
inline constexpr std::size_t kChecksummedHeaderSize = 32;

// Page types.
inline constexpr std::uint8_t kFreePage = 0;
inline constexpr std::uint8_t kInternalPage = 3;
inline constexpr std::uint8_t kLeafPage = 5;
inline constexpr std::uint8_t kOverflowPage = 7;
inline constexpr std::uint8_t kMetadataPage = 9;
inline constexpr std::uint8_t kLeafLevel = 1;

// Items. On a leaf: 16-bit length, type, then the bytes; or, for the
// overflow type, a reference of 12 bytes whose page number is at offset 4.
// On an internal page: 16-bit length, type, one unused byte, the child's page
// number, a record count, then the key's bytes (or an overflow reference).
inline constexpr std::uint8_t kItemTypeMask = 0x7F;  // the top bit marks a deleted item
inline constexpr std::uint8_t kBytesItem = 1;
inline constexpr std::uint8_t kOverflowItem = 3;
inline constexpr std::size_t kItemLengthOffset = 0;  // 16 bits
inline constexpr std::size_t kItemTypeOffset = 2;
inline constexpr std::size_t kBytesItemHeaderSize = 3;
inline constexpr std::size_t kOverflowReferenceSize = 12;
inline constexpr std::size_t kOverflowReferencePageOffset = 4;
inline constexpr std::size_t kOverflowReferenceLengthOffset = 8;  // the item's whole length
inline constexpr std::size_t kInternalItemChildOffset = 4;
inline constexpr std::size_t kInternalItemRecordsOffset = 8;  // 0: no record numbers
inline constexpr std::size_t kInternalItemHeaderSize = 12;

// The length above which a key or a data item goes to overflow pages: the
// share of a page that kMinimumKeys pairs may each take, less an empty
// item's room and its alignment (1007 for 4096-byte pages).
constexpr std::size_t overflowThreshold(std::size_t pageSize) {
  const std::size_t emptyItem =
      (kBytesItemHeaderSize + kItemAlignment - 1) / kItemAlignment * kItemAlignment;
  return (pageSize - kHeaderSize) / (kMinimumKeys * 2) - (emptyItem + kItemOffsetSize) -
         kItemAlignment;
}

}  // namespace btree_layout

// The 32-bit (16-bit) number at `offset` of `bytes`, stored in the byte
// order of the machine that made the file: big-endian when `bigEndian`.
inline std::uint32_t loadFileNumber32(std::span<const std::uint8_t> bytes, std::size_t offset,
                                      bool bigEndian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= std::uint32_t{bytes[offset + (bigEndian ? 3 - i : i)]} << (8 * i);
  }
  return value;
}
inline std::uint16_t loadFileNumber16(std::span<const std::uint8_t> bytes, std::size_t offset,
                                      bool bigEndian) {
  const std::uint8_t low = bytes[offset + (bigEndian ? 1 : 0)];
  const std::uint8_t high = bytes[offset + (bigEndian ? 0 : 1)];
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Whether key `a` comes before key `b` in a B-tree of this program's kind,
// in the library's default order: bytes compared unsigned, a prefix first.
inline bool keySortsBefore(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// Checks a B-tree file fed to it front to back, in pieces of any size. Keeps
// about twenty bytes per page until finish(). Not copyable.
class BtreePageCheck {
 public:
  // `fileSize`: the length of the file to be fed, in bytes.
  explicit BtreePageCheck(std::uint64_t fileSize) : fileSize_(fileSize) {}
  BtreePageCheck(const BtreePageCheck&) = delete;
  BtreePageCheck& operator=(const BtreePageCheck&) = delete;

  // The next bytes of the file.
  void feed(std::span<const std::uint8_t> bytes);

  // The verdict on everything fed, which must be the whole file: ok for a
  // B-tree of this program's kind whose links are sound (its pages may carry
  // checksums); kUnknownFormat for a file the library can't open as a
  // B-tree (no B-tree metadata, another version, a Recno database, a length
  // that is not whole pages); kEncrypted for an encrypted database;
  // kForeign for a B-tree the library opens but of a kind this program never
  // makes (duplicate keys, sub-databases, compression, partitions);
  // kDamaged for a B-tree whose pages are not what its links say (zeroed,
  // cut off, pointing back or out of the file) or whose checksums do not
  // match their pages.
  Status finish();

 private:
  struct PageLinks {
    std::uint8_t type = 0;
    std::uint8_t level = 0;
    std::uint32_t previous = 0;
    std::uint32_t next = 0;
    std::uint32_t firstChild = 0;  // internal pages only
    std::uint32_t lastChild = 0;
  };
  // A page some other page points to, and what it must be.
  struct Reference {
    std::uint32_t page;
    std::uint8_t type;
    std::uint8_t level;
  };

  void readMetadata(std::span<const std::uint8_t> page);
  void checkPage(std::uint32_t number, std::span<const std::uint8_t> page);
  bool checkItems(std::uint32_t number, std::span<const std::uint8_t> page, const PageLinks& links);
  bool linksAreSound() const;
  std::uint32_t load32(std::span<const std::uint8_t> page, std::size_t offset) const;
  std::uint16_t load16(std::span<const std::uint8_t> page, std::size_t offset) const;

  // Whether the checksum stored at `offset` of `covered` is pageChecksum's.
  bool checksumMatches(std::span<const std::uint8_t> covered, std::size_t offset) const;

  std::uint64_t fileSize_;
  Status::Code verdict_ = Status::Code::kOk;  // kOk until a page proves otherwise
  bool haveMetadata_ = false;
  bool bigEndian_ = false;  // made on a big-endian machine
  bool checksums_ = false;
  std::size_t headerSize_ = btree_layout::kHeaderSize;  // where a page's item offsets begin
  std::size_t pageSize_ = 0;
  std::uint32_t lastPage_ = 0;
  std::uint32_t root_ = 0;
  std::uint32_t freeList_ = 0;
  std::uint64_t bytesFed_ = 0;
  std::uint32_t pagesSeen_ = 0;
  std::vector<std::uint8_t> partial_;  // the start of a page not yet whole
  std::size_t skipping_ = 0;           // bytes of page 0 still to pass over
  std::vector<PageLinks> pages_;
  std::vector<Reference> references_;
};

// The library's checksum of a page that carries one (see btree_layout):
// the sum, over the bytes of `covered`, of the sum so far times 33 plus the
// byte, modulo 2^32, with the four bytes at `offset` taken as zeros.
std::uint32_t pageChecksum(std::span<const std::uint8_t> covered, std::size_t offset);

// Why an encrypted database file is refused, in a sentence that names it
// (`fileName`): the library opens it only with its password.
std::string encryptedFileSentence(std::string_view fileName);

// A file is read this much at a time when its pages are checked, or when it
// is copied by hand: few system calls, and each piece stays in the
// processor's caches while it is checked or written (pieces of a megabyte
// made a copy slower).
inline constexpr std::size_t kCheckedPieceBytes = std::size_t{256} << 10;

// Reads the open file `fd`, `size` bytes long, from its start to its end,
// checking its pages. Gives the check's verdict (see BtreePageCheck::finish),
// or kReadFailed when a read fails or the file ends early.
Status readCheckedPages(int fd, std::uint64_t size);

// The verdict on the B-tree file at `path` (symbolic links followed), or
// kCannotOpen when it can't be opened (errno ENOENT when it is not there),
// kNotRegular when it is no regular file (see regular_file.h: never waited
// on), kReadFailed when it can't be read. When `checked` is given it gets the
// identity of the file that was read (nothing when none was).
Status checkBtreeFile(const std::filesystem::path& path,
                      std::optional<FileIdentity>* checked = nullptr);

}  // namespace indicizza
