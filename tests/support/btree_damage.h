// Damages B-tree files the way a failing disk, a crash or another program
// might: page by page, with the page layout read here on its own (the
// metadata page's page size, each page's number, links, level and type), not
// through the code under test. Files are those of this machine's byte order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace indicizza::testing {

inline constexpr std::uint8_t kInternalPageType = 3;
inline constexpr std::uint8_t kLeafPageType = 5;
inline constexpr std::uint8_t kOverflowPageType = 7;

// The numbers of the pages of `type`, in file order.
std::vector<std::uint32_t> pagesOfType(const std::filesystem::path& path, std::uint8_t type);

// The leaves in the order a walk visits them: from the first leaf (whose
// previous link is 0) along the next links.
std::vector<std::uint32_t> leafChain(const std::filesystem::path& path);

// How many key/data pairs the leaves `pages` hold together.
std::size_t leafPairs(const std::filesystem::path& path, const std::vector<std::uint32_t>& pages);

// Overwrites page `page` with zero bytes.
void zeroPage(const std::filesystem::path& path, std::uint32_t page);

// Sets the previous and next links of page `page`.
void setLinks(const std::filesystem::path& path, std::uint32_t page, std::uint32_t previous,
              std::uint32_t next);

// Adds one to the byte at `offset` of page `page` (0 for the metadata page),
// the way a bit flipped on the disk changes a page: the last byte of a leaf
// is one of an item's, which no link depends on.
void changeByte(const std::filesystem::path& path, std::uint32_t page, std::size_t offset);

// Swaps the bytes of the first two keys of leaf `page` (keys of equal
// length), so that they come out of order while every link stays sound.
void swapFirstTwoKeys(const std::filesystem::path& path, std::uint32_t page);

}  // namespace indicizza::testing
