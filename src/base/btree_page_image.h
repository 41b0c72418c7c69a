// One page of a B-tree file laid out in memory, as the library lays out its
// own (see btree_layout in btree_pages.h): the header, then the item
// offsets growing up from it, the items growing down from the page's end,
// each at an aligned offset right below the one before, and zeros between.
// Numbers are stored in the machine's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace indicizza {

// The room an item of `bytes` bytes takes on a page, its offset included.
std::size_t itemRoom(std::size_t bytes);

// Stores `value` at `at`, in the machine's byte order.
void store16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value);
void store32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);

// A page buffer of a fixed size, reused page after page. Not copyable.
class PageImage {
 public:
  explicit PageImage(std::size_t pageSize);
  PageImage(const PageImage&) = delete;
  PageImage& operator=(const PageImage&) = delete;
  PageImage(PageImage&&) = default;
  PageImage& operator=(PageImage&&) = default;

  // Makes the buffer an empty page `number` of `type` at `level`, linked to
  // no other page, every other byte zero.
  void reset(std::uint32_t number, std::uint8_t type, std::uint8_t level);
  // Gives the page the number `number`, its items as they are.
  void renumber(std::uint32_t number);
  // Sets the page's previous and next page numbers (0 for none).
  void link(std::uint32_t previous, std::uint32_t next);

  std::uint32_t number() const { return number_; }
  std::size_t entries() const { return entries_; }
  // The bytes still free between the item offsets and the items.
  std::size_t room() const;

  // Appends an item made of `head` then `body`: its offset goes after the
  // others, its bytes below the items already there. Requires room() to be
  // at least itemRoom(head.size() + body.size()).
  void append(std::span<const std::uint8_t> head, std::span<const std::uint8_t> body);

  // Makes an overflow page (see reset) hold `piece`, a piece of an item no
  // longer than the page less its header, right after the header.
  void holdPiece(std::span<const std::uint8_t> piece);

  // The whole page, valid until the next change.
  std::span<const std::uint8_t> bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t number_ = 0;
  std::size_t entries_ = 0;
  std::size_t itemsBegin_ = 0;  // where the lowest item begins
};

}  // namespace indicizza
