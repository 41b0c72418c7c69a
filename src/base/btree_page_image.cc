#include "base/btree_page_image.h"

#include <algorithm>
#include <cstring>

#include "base/btree_pages.h"

namespace indicizza {

using namespace btree_layout;

namespace {

std::size_t alignedLength(std::size_t bytes) {
  return (bytes + kItemAlignment - 1) / kItemAlignment * kItemAlignment;
}

}  // namespace

std::size_t itemRoom(std::size_t bytes) { return alignedLength(bytes) + kItemOffsetSize; }

void store16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

void store32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

PageImage::PageImage(std::size_t pageSize) : bytes_(pageSize) {}

void PageImage::reset(std::uint32_t number, std::uint8_t type, std::uint8_t level) {
  std::fill(bytes_.begin(), bytes_.end(), 0);
  number_ = number;
  entries_ = 0;
  itemsBegin_ = bytes_.size();
  store32(bytes_, kLogOffsetOffset, kNotLoggedOffset);
  store32(bytes_, kPageNumberOffset, number);
  store16(bytes_, kFreeOffsetOffset, static_cast<std::uint16_t>(itemsBegin_ % 65536));
  bytes_[kLevelOffset] = level;
  bytes_[kTypeOffset] = type;
}

void PageImage::renumber(std::uint32_t number) {
  number_ = number;
  store32(bytes_, kPageNumberOffset, number);
}

void PageImage::link(std::uint32_t previous, std::uint32_t next) {
  store32(bytes_, kPreviousPageOffset, previous);
  store32(bytes_, kNextPageOffset, next);
}

std::size_t PageImage::room() const {
  return itemsBegin_ - (kHeaderSize + kItemOffsetSize * entries_);
}

void PageImage::append(std::span<const std::uint8_t> head, std::span<const std::uint8_t> body) {
  itemsBegin_ -= alignedLength(head.size() + body.size());
  std::memcpy(bytes_.data() + itemsBegin_, head.data(), head.size());
  if (!body.empty())
    std::memcpy(bytes_.data() + itemsBegin_ + head.size(), body.data(), body.size());
  const auto at = static_cast<std::uint16_t>(itemsBegin_);
  store16(bytes_, kHeaderSize + kItemOffsetSize * entries_, at);
  ++entries_;
  store16(bytes_, kEntriesOffset, static_cast<std::uint16_t>(entries_));
  store16(bytes_, kFreeOffsetOffset, at);
}

void PageImage::holdPiece(std::span<const std::uint8_t> piece) {
  std::memcpy(bytes_.data() + kHeaderSize, piece.data(), piece.size());
  store16(bytes_, kEntriesOffset, kOverflowReferences);
  store16(bytes_, kFreeOffsetOffset, static_cast<std::uint16_t>(piece.size()));
}

}  // namespace indicizza
