// The index of an increment worked out from opere.idb as the last run left
// it (proved to be the index of opere.ddb then, see index_proof.h) and the
// records this run read into terms: the records it added or replaced. Every
// array comes out as reading every record would make it:
//
// - A term's array, as the run leaves it, either lists exactly the records
//   that carry the term (the term is made), or no record carries the term
//   any more and the array is the one it had when one last did (it is kept).
// - A made term keeps the entries of the records not read, with the entries
//   of the records read that carry it, in key order.
// - A term no record carries any more is kept as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "indexing/word_index.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "records/data_database.h"

namespace indicizza {

// The record numbers an increment read into terms, looked up by the key
// bytes that begin a stored entry. Copyable.
class ChangedRecords {
 public:
  // `keys` in any order.
  explicit ChangedRecords(std::span<const RecordKey> keys);
  bool contains(std::span<const std::uint8_t, kRecordKeySize> key) const {
    const auto bits = static_cast<std::uint32_t>(recordNumberOfKey(key));
    if (bits < kBitmapNumbers) return (bits_[bits / 64] >> (bits % 64)) & 1;
    return containsOther(bits);
  }

 private:
  bool containsOther(std::uint32_t bits) const;
  // Keys read as little-endian numbers below this are bits; the rest (a
  // number no six characters make) are sorted beside them.
  static constexpr std::uint32_t kBitmapNumbers = std::uint32_t{1} << 20;
  std::vector<std::uint64_t> bits_;
  std::vector<std::uint32_t> others_;
};

// Whether the stored record under `key`, one the run did not read, carries
// `term`; a record not stored carries nothing. Fails as the read does.
using CarriesTerm = std::function<Status(std::span<const std::uint8_t, kRecordKeySize> key,
                                         std::string_view term, bool& carries)>;

// What an increment's write phase needs besides the terms of the records
// read (the WordIndex it writes).
struct IndexChanges {
  ChangedRecords changed;                 // every record read
  std::vector<std::string> earlierTerms;  // carried by a replaced record as it was; sorted
  std::uint64_t termsMadeBefore = 0;      // made in opere.idb as it was (index_proof.h)
  CarriesTerm carries;
};

// The terms, sorted and each once, that the records `scrambled` carry
// (kStoredRecordSize bytes each, as stored): IndexChanges::earlierTerms
// of the records a load replaced.
std::vector<std::string> termsOfRecords(std::span<const std::uint8_t> scrambled,
                                        const ScrambleKey& key, const StopWordSet& stopWords);

// One term of an increment: its array in opere.idb as it was (`earlier`,
// stored entries; empty when it had none) and the entries of the records
// read that carry it (`made`, in key order). Fills `data` with the array
// the term gets, unless it keeps `earlier` as it is (`keep`), and says
// whether the term was made before and is made now.
struct TermChange {
  bool keep = false;
  bool madeBefore = false;
  bool madeNow = false;
};
Status changeTerm(std::string_view term, std::span<const std::uint8_t> earlier,
                  std::span<const IndexEntry> made, const IndexChanges& changes,
                  std::vector<std::uint8_t>& data, TermChange& change);

}  // namespace indicizza
