#include "index_store/index_changes.h"

#include <algorithm>
#include <cstring>

#include "index_store/index_database.h"
#include "indexing/terms.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"

namespace indicizza {
namespace {

std::span<const std::uint8_t, kRecordKeySize> keyOfStored(const std::uint8_t* stored) {
  return std::span<const std::uint8_t, kRecordKeySize>(stored, kRecordKeySize);
}

}  // namespace

ChangedRecords::ChangedRecords(std::span<const RecordKey> keys) : bits_(kBitmapNumbers / 64) {
  for (const RecordKey& key : keys) {
    const std::uint32_t bits = numberBitsOf(key);
    if (bits < kBitmapNumbers) {
      bits_[bits / 64] |= std::uint64_t{1} << (bits % 64);
    } else {
      others_.push_back(bits);
    }
  }
  std::ranges::sort(others_);
}

bool ChangedRecords::containsOther(std::uint32_t bits) const {
  return std::ranges::binary_search(others_, bits);
}

std::vector<std::string> termsOfRecords(std::span<const std::uint8_t> scrambled,
                                        const ScrambleKey& key, const StopWordSet& stopWords) {
  std::vector<std::string> terms;
  TermList list;
  for (std::size_t at = 0; at + kStoredRecordSize <= scrambled.size(); at += kStoredRecordSize) {
    extractTerms(DecodedRecord::fromScrambled(scrambled.subspan(at, kStoredRecordSize), key),
                 stopWords, list);
    for (std::size_t i = 0; i < list.size(); ++i) terms.emplace_back(list[i]);
  }
  std::ranges::sort(terms);
  const auto [end, last] = std::ranges::unique(terms);
  terms.erase(end, last);
  return terms;
}

Status changeTerm(std::string_view term, std::span<const std::uint8_t> earlier,
                  std::span<const IndexEntry> made, const IndexChanges& changes,
                  TermBuffers& buffers, TermChange& change) {
  change = {};
  const std::uint8_t* const begin = earlier.data();
  const std::uint8_t* const end = begin + earlier.size() / kStoredEntrySize * kStoredEntrySize;
  const auto isChanged = [&](const std::uint8_t* entry) {
    return changes.changed.contains(keyOfStored(entry));
  };
  const std::uint8_t* firstChanged = begin;
  while (firstChanged != end && !isChanged(firstChanged)) firstChanged += kStoredEntrySize;
  const bool dropped = firstChanged != end;
  if (!dropped && made.empty()) {
    change.keep = true;  // untouched: made or not, as before
    return {};
  }
  // The entries of the records not read, in their order, copied a run at a
  // time.
  std::vector<std::uint8_t>& kept = buffers.kept;
  kept.assign(begin, firstChanged);
  for (const std::uint8_t* at = firstChanged; at != end;) {
    while (at != end && isChanged(at)) at += kStoredEntrySize;
    const std::uint8_t* run = at;
    while (at != end && !isChanged(at)) at += kStoredEntrySize;
    kept.insert(kept.end(), run, at);
  }
  // An array lists only records that carry the term, or only records that
  // no longer do; one record of it tells which.
  if (begin != end && std::ranges::binary_search(changes.earlierTerms, term)) {
    change.madeBefore = true;
  } else if (!dropped && !kept.empty()) {
    Status asked = changes.carries(keyOfStored(kept.data()), term, change.madeBefore);
    if (!asked.ok()) return asked;
  }
  change.madeNow = !made.empty() || (change.madeBefore && !kept.empty());
  if (!change.madeNow) {
    change.keep = true;
    return {};
  }
  if (!change.madeBefore) kept.clear();
  // The two lists merged by key, the kept ones copied a run at a time.
  std::vector<std::uint8_t>& data = buffers.data;
  data.clear();
  data.reserve(kept.size() + made.size() * kStoredEntrySize);
  const std::uint8_t* next = kept.data();
  const std::uint8_t* const keptEnd = next + kept.size();
  for (const IndexEntry& entry : made) {
    const StoredEntry stored = storedEntryOf(entry);
    const std::uint8_t* run = next;
    while (next != keptEnd && std::memcmp(next, stored.data(), kRecordKeySize) < 0)
      next += kStoredEntrySize;
    data.insert(data.end(), run, next);
    data.insert(data.end(), stored.begin(), stored.end());
  }
  data.insert(data.end(), next, keptEnd);
  return {};
}

}  // namespace indicizza
