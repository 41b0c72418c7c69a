#include "support/btree_damage.h"

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/scratch_dir.h"

namespace indicizza::testing {
namespace {

constexpr std::size_t kPageSizeAt = 20;
constexpr std::size_t kPreviousAt = 12;
constexpr std::size_t kNextAt = 16;
constexpr std::size_t kEntriesAt = 20;  // a 16-bit count: two per key/data pair on a leaf
constexpr std::size_t kTypeAt = 25;
constexpr std::size_t kItemOffsetsAt = 26;
constexpr std::size_t kItemBytesAt = 3;  // after a 16-bit length and a type byte

std::uint32_t load32(const std::string& bytes, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

void store32(std::string& bytes, std::size_t at, std::uint32_t value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

std::uint16_t load16(const std::string& bytes, std::size_t at) {
  std::uint16_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// A whole file, edited in memory and written back.
struct PageFile {
  explicit PageFile(const std::filesystem::path& path) : path(path), bytes(readFile(path)) {
    if (bytes.size() < 512) throw std::runtime_error("not a B-tree: " + path.string());
    pageSize = load32(bytes, kPageSizeAt);
  }
  std::size_t pageCount() const { return bytes.size() / pageSize; }
  std::size_t at(std::uint32_t page) const { return std::size_t{page} * pageSize; }
  void save() const { writeFile(path, bytes); }

  std::filesystem::path path;
  std::string bytes;
  std::size_t pageSize;
};

}  // namespace

std::vector<std::uint32_t> pagesOfType(const std::filesystem::path& path, std::uint8_t type) {
  const PageFile file(path);
  std::vector<std::uint32_t> pages;
  for (std::uint32_t page = 1; page < file.pageCount(); ++page) {
    if (static_cast<std::uint8_t>(file.bytes[file.at(page) + kTypeAt]) == type)
      pages.push_back(page);
  }
  return pages;
}

std::vector<std::uint32_t> leafChain(const std::filesystem::path& path) {
  const PageFile file(path);
  std::vector<std::uint32_t> chain;
  for (std::uint32_t page : pagesOfType(path, kLeafPageType)) {
    if (load32(file.bytes, file.at(page) + kPreviousAt) == 0) chain.push_back(page);
  }
  if (chain.size() != 1) throw std::runtime_error("no single first leaf in " + path.string());
  for (std::uint32_t next; (next = load32(file.bytes, file.at(chain.back()) + kNextAt)) != 0;) {
    chain.push_back(next);
  }
  return chain;
}

std::size_t leafPairs(const std::filesystem::path& path, const std::vector<std::uint32_t>& pages) {
  const PageFile file(path);
  std::size_t pairs = 0;
  for (const std::uint32_t page : pages)
    pairs += load16(file.bytes, file.at(page) + kEntriesAt) / 2;
  return pairs;
}

void zeroPage(const std::filesystem::path& path, std::uint32_t page) {
  PageFile file(path);
  std::memset(file.bytes.data() + file.at(page), 0, file.pageSize);
  file.save();
}

void setLinks(const std::filesystem::path& path, std::uint32_t page, std::uint32_t previous,
              std::uint32_t next) {
  PageFile file(path);
  store32(file.bytes, file.at(page) + kPreviousAt, previous);
  store32(file.bytes, file.at(page) + kNextAt, next);
  file.save();
}

void changeByte(const std::filesystem::path& path, std::uint32_t page, std::size_t offset) {
  PageFile file(path);
  char& byte = file.bytes.at(file.at(page) + offset);
  byte = static_cast<char>(byte + 1);
  file.save();
}

void swapFirstTwoKeys(const std::filesystem::path& path, std::uint32_t page) {
  PageFile file(path);
  const std::size_t base = file.at(page);
  // Items alternate key, data: the first two keys are items 0 and 2.
  const std::size_t first = base + load16(file.bytes, base + kItemOffsetsAt);
  const std::size_t second = base + load16(file.bytes, base + kItemOffsetsAt + 4);
  const std::size_t length = load16(file.bytes, first);
  if (load16(file.bytes, second) != length) throw std::runtime_error("keys of unequal length");
  for (std::size_t i = 0; i < length; ++i) {
    std::swap(file.bytes[first + kItemBytesAt + i], file.bytes[second + kItemBytesAt + i]);
  }
  file.save();
}

}  // namespace indicizza::testing
