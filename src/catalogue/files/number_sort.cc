#include "catalogue/files/number_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace indicizza {
namespace {

constexpr std::size_t kBytes = sizeof(RecordNumber);
constexpr std::size_t kByteValues = 256;
constexpr int kBitsPerByte = 8;
// Below this many numbers a comparison sort is as quick.
constexpr std::size_t kSmallList = 256;
// Flipping the sign bit makes the unsigned order of the bits the signed
// order of the numbers.
constexpr std::uint32_t kSignBit = 0x80000000u;
// A bitmap is used when it holds at most this many bits per number.
constexpr std::uint64_t kBitmapBitsPerNumber = 64;
constexpr std::uint64_t kWordBits = 64;

// Sorts and removes repeats by marking each number in a bitmap of the span
// they cover, when that span is dense enough (record numbers mostly are).
bool sortUniqueByBitmap(std::vector<RecordNumber>& numbers) {
  const auto [low, high] = std::minmax_element(numbers.begin(), numbers.end());
  const std::int64_t first = *low;
  const std::uint64_t span =
      static_cast<std::uint64_t>(static_cast<std::int64_t>(*high) - first) + 1;
  if (span / kBitmapBitsPerNumber > numbers.size()) return false;
  std::vector<std::uint64_t> bits((span + kWordBits - 1) / kWordBits, 0);
  for (const RecordNumber number : numbers) {
    const std::uint64_t at = static_cast<std::uint64_t>(number - first);
    bits[at / kWordBits] |= std::uint64_t{1} << (at % kWordBits);
  }
  std::size_t count = 0;
  for (std::size_t w = 0; w < bits.size(); ++w) {
    for (std::uint64_t word = bits[w]; word != 0; word &= word - 1) {
      numbers[count++] = static_cast<RecordNumber>(
          first + static_cast<std::int64_t>(w * kWordBits) + std::countr_zero(word));
    }
  }
  numbers.resize(count);
  return true;
}

}  // namespace

void sortUnique(std::vector<RecordNumber>& numbers) {
  if (numbers.size() >= kSmallList && sortUniqueByBitmap(numbers)) return;
  if (numbers.size() < kSmallList) {
    std::sort(numbers.begin(), numbers.end());
  } else {
    std::vector<std::uint32_t> keys(numbers.size());
    std::array<std::array<std::size_t, kByteValues>, kBytes> counts{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      keys[i] = static_cast<std::uint32_t>(numbers[i]) ^ kSignBit;
      for (std::size_t b = 0; b < kBytes; ++b) ++counts[b][(keys[i] >> (b * kBitsPerByte)) & 0xFF];
    }
    std::vector<std::uint32_t> sorted(keys.size());
    for (std::size_t b = 0; b < kBytes; ++b) {
      // A byte that is the same in every number leaves the order as it is.
      if (std::find(counts[b].begin(), counts[b].end(), keys.size()) != counts[b].end()) continue;
      std::array<std::size_t, kByteValues> start{};
      for (std::size_t v = 1; v < kByteValues; ++v) start[v] = start[v - 1] + counts[b][v - 1];
      for (std::uint32_t key : keys) sorted[start[(key >> (b * kBitsPerByte)) & 0xFF]++] = key;
      keys.swap(sorted);
    }
    for (std::size_t i = 0; i < keys.size(); ++i)
      numbers[i] = static_cast<RecordNumber>(keys[i] ^ kSignBit);
  }
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

}  // namespace indicizza
