#include "catalogo/number_sort.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace indicizza::catalogo {
namespace {

constexpr std::size_t kBytes = sizeof(RecordNumber);
constexpr std::size_t kByteValues = 256;
constexpr int kBitsPerByte = 8;
// Below this many numbers a comparison sort is as quick.
constexpr std::size_t kSmallList = 256;
// Flipping the sign bit makes the unsigned order of the bits the signed
// order of the numbers.
constexpr std::uint32_t kSignBit = 0x80000000u;

}  // namespace

void sortUnique(std::vector<RecordNumber>& numbers) {
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
    for (std::size_t i = 0; i < keys.size(); ++i) numbers[i] = static_cast<RecordNumber>(keys[i] ^ kSignBit);
  }
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

}  // namespace indicizza::catalogo
