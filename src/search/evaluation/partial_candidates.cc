#include "search/evaluation/partial_candidates.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace indicizza {
namespace {

// Whether `a` goes before `b` by the index alone: rarer words (their
// rarities summed), then more of them, then the lower number.
bool listedBefore(const Listed& a, const Listed& b) {
  if (a.rarity != b.rarity) return a.rarity > b.rarity;
  if (a.words != b.words) return a.words > b.words;
  return a.number < b.number;
}

// Record numbers whose words are summed at once when the partial
// candidates are walked: 16384 of them take 192 KiB.
constexpr std::int64_t kPartialBlock = std::int64_t{1} << 14;

}  // namespace

void bestPartialCandidates(const std::vector<SharedNumbers>& wordLists,
                           const std::vector<double>& rarities, const SharedNumbers& excluded,
                           std::size_t keep, PartialCandidates& out) {
  out = PartialCandidates();
  std::vector<Listed>& best = out.best;
  const auto consider = [&](const Listed& one) {
    if (one.words == wordLists.size() ||
        (excluded && std::binary_search(excluded->begin(), excluded->end(), one.number)))
      return;
    ++out.count;
    if (best.size() < keep) {
      best.push_back(one);
      std::push_heap(best.begin(), best.end(), listedBefore);
    } else if (keep > 0 && listedBefore(one, best.front())) {
      std::pop_heap(best.begin(), best.end(), listedBefore);
      best.back() = one;
      std::push_heap(best.begin(), best.end(), listedBefore);
    }
  };
  std::vector<std::size_t> next(wordLists.size(), 0);  // per word, its first number not walked
  std::vector<std::uint32_t> words(kPartialBlock, 0);
  std::vector<double> rarity(kPartialBlock, 0);
  std::vector<std::uint64_t> listedBits(kPartialBlock / kWordBits, 0);
  for (;;) {
    // The block starts at the lowest number not walked yet.
    std::int64_t low = std::numeric_limits<std::int64_t>::max();
    for (std::size_t w = 0; w < wordLists.size(); ++w) {
      if (next[w] < wordLists[w]->size())
        low = std::min<std::int64_t>(low, (*wordLists[w])[next[w]]);
    }
    if (low == std::numeric_limits<std::int64_t>::max()) break;
    // Word by word, so that each record's rarity is summed in word order.
    for (std::size_t w = 0; w < wordLists.size(); ++w) {
      const Numbers& list = *wordLists[w];
      for (std::size_t& at = next[w]; at < list.size() && list[at] - low < kPartialBlock; ++at) {
        const auto offset = static_cast<std::size_t>(list[at] - low);
        listedBits[offset / kWordBits] |= std::uint64_t{1} << (offset % kWordBits);
        ++words[offset];
        rarity[offset] += rarities[w];
      }
    }
    for (std::size_t b = 0; b < listedBits.size(); ++b) {
      for (std::uint64_t bits = listedBits[b]; bits != 0; bits &= bits - 1) {
        const std::size_t offset = b * kWordBits + static_cast<std::size_t>(std::countr_zero(bits));
        consider({static_cast<RecordNumber>(low + static_cast<std::int64_t>(offset)), words[offset],
                  rarity[offset]});
        words[offset] = 0;
        rarity[offset] = 0;
      }
      listedBits[b] = 0;
    }
  }
  std::sort_heap(best.begin(), best.end(), listedBefore);
}

}  // namespace indicizza
