#include "index_store/index_changes.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "index_store/index_database.h"
#include "indexing/terms.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"

namespace indicizza {
namespace {

std::span<const std::uint8_t, kRecordKeySize> keyOfStored(const std::uint8_t* stored) {
  return std::span<const std::uint8_t, kRecordKeySize>(stored, kRecordKeySize);
}

// The first of the stored entries from `from` to `end`, in key order, whose
// key does not sort before the entry `key`'s, found by galloping from
// `from`: a run of n entries costs about 2 log n comparisons.
const std::uint8_t* firstEntryNotBefore(const std::uint8_t* from, const std::uint8_t* end,
                                        const std::uint8_t* key) {
  const auto before = [&](std::size_t entry) {
    return std::memcmp(from + entry * kStoredEntrySize, key, kRecordKeySize) < 0;
  };
  const auto entries = static_cast<std::size_t>(end - from) / kStoredEntrySize;
  std::size_t low = 0;  // the entries before it are before `key`
  std::size_t high = 1;
  while (high <= entries && before(high - 1)) {
    low = high;
    high *= 2;
  }
  high = std::min(high, entries);
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (before(middle)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return from + low * kStoredEntrySize;
}

}  // namespace

ChangedRecords::ChangedRecords(std::span<const RecordKey> keys) : bits_(kBitmapNumbers / 64) {
  for (const RecordKey& key : keys) {
    const auto bits = static_cast<std::uint32_t>(recordNumberOfKey(key));
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
  // Each term kept once as it comes: what is held grows with the
  // vocabulary, not with the records.
  std::unordered_set<std::string> seen;
  TermList list;
  for (std::size_t at = 0; at + kStoredRecordSize <= scrambled.size(); at += kStoredRecordSize) {
    extractTerms(DecodedRecord::fromScrambled(scrambled.subspan(at, kStoredRecordSize), key),
                 stopWords, list);
    for (std::size_t i = 0; i < list.size(); ++i) seen.emplace(list[i]);
  }
  std::vector<std::string> terms(seen.begin(), seen.end());
  std::ranges::sort(terms);
  return terms;
}

Status changeTerm(std::string_view term, std::span<const std::uint8_t> earlier,
                  std::span<const IndexEntry> made, const IndexChanges& changes,
                  std::vector<std::uint8_t>& data, TermChange& change) {
  change = {};
  const std::uint8_t* const begin = earlier.data();
  const std::uint8_t* const end = begin + earlier.size() / kStoredEntrySize * kStoredEntrySize;
  const auto isChanged = [&](const std::uint8_t* entry) {
    return changes.changed.contains(keyOfStored(entry));
  };
  // The first entry from `from` on, before `to`, that is (`changed`) or is
  // not of a record read.
  const auto firstWhere = [&](const std::uint8_t* from, const std::uint8_t* to, bool changed) {
    while (from != to && isChanged(from) != changed) from += kStoredEntrySize;
    return from;
  };
  const bool dropped = firstWhere(begin, end, true) != end;
  if (!dropped && made.empty()) {
    change.keep = true;  // untouched: made or not, as before
    return {};
  }
  // The first entry of a record not read, if any.
  const std::uint8_t* const firstKept = firstWhere(begin, end, false);
  const bool anyKept = firstKept != end;
  // An array lists only records that carry the term, or only records that
  // no longer do; one record of it tells which.
  if (begin != end && std::ranges::binary_search(changes.earlierTerms, term)) {
    change.madeBefore = true;
  } else if (!dropped && anyKept) {
    Status asked = changes.carries(keyOfStored(firstKept), term, change.madeBefore);
    if (!asked.ok()) return asked;
  }
  change.madeNow = !made.empty() || (change.madeBefore && anyKept);
  if (!change.madeNow) {
    change.keep = true;
    return {};
  }
  // The entries of the records not read (when the array was made), and
  // those of the records read, merged by key; the first copied a run at a
  // time.
  data.clear();
  data.reserve(earlier.size() + made.size() * kStoredEntrySize);
  const std::uint8_t* at = change.madeBefore ? firstKept : end;
  // Copies the kept entries before `key` (all that are left without one);
  // without a changed entry in the array, in one piece.
  const auto copyKeptBefore = [&](const std::uint8_t* key) {
    const std::uint8_t* const stop = key ? firstEntryNotBefore(at, end, key) : end;
    while (at != stop) {
      const std::uint8_t* run = at;
      at = dropped ? firstWhere(at, stop, true) : stop;
      data.insert(data.end(), run, at);
      at = firstWhere(at, stop, false);
    }
  };
  for (const IndexEntry& entry : made) {
    const StoredEntry stored = storedEntryOf(entry);
    copyKeptBefore(stored.data());
    data.insert(data.end(), stored.begin(), stored.end());
  }
  copyKeptBefore(nullptr);
  return {};
}

}  // namespace indicizza
