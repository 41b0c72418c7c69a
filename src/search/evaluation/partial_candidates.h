// The results that match only some of a query's words, as the index alone
// ranks them before any record is read: the best few kept, all counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "search/evaluation/record_sets.h"

namespace indicizza {

// A record that some query words list, with the index's guess at its rank
// among the partial results: how many words list it, and their rarities
// summed.
struct Listed {
  RecordNumber number;
  std::uint32_t words;
  double rarity;
};

// The records listed under some query words but not all: the best of them
// in order (rarer words, their rarities summed, then more of them, then
// the lower number), and how many they are.
struct PartialCandidates {
  std::vector<Listed> best;
  std::uint64_t count = 0;
};

// Puts into `out` the `keep` best records listed under some of `wordLists`
// (one ascending list per query word, with its rarity in `rarities`) but
// not all, nor in `excluded` (ascending, or null), and counts them all. The
// records the common words list may be most of the catalogue, so none of
// them is kept but the `keep` best so far, in a heap whose top is the worst:
// the lists are walked together a block of record numbers at a time, each
// block's words and rarities summed in arrays of the block.
void bestPartialCandidates(const std::vector<SharedNumbers>& wordLists,
                           const std::vector<double>& rarities, const SharedNumbers& excluded,
                           std::size_t keep, PartialCandidates& out);

}  // namespace indicizza
