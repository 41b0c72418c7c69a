// The terms a record is indexed under: the filtered words of its seven text
// fields, then the codes of its five code fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_hash.h"
#include "input/decoded_record.h"
#include "input/stop_words.h"

namespace indicizza {

// The terms of one record, in order, packed in one buffer, each with its
// hash (hashBytes), which the record's later lookups reuse. Clearing keeps
// the capacity, so one list can serve every record of a scan.
class TermList {
 public:
  void clear();
  // Appends `term`, whose hash is `hash` (hashBytes(term)).
  void append(std::string_view term, std::uint32_t hash);
  void append(std::string_view term) { append(term, hashBytes(term)); }

  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  std::uint32_t hash(std::size_t i) const { return hashes_[i]; }

  // Whether the list holds `term`, whose hash is `hash`.
  bool contains(std::string_view term, std::uint32_t hash) const;

 private:
  // The first kIndexedTerms terms are also found through a small hash
  // table (a record has at most about 150 terms); any beyond, by a linear
  // search.
  static constexpr std::size_t kSlotCount = 512;
  static constexpr std::size_t kIndexedTerms = kSlotCount / 2;

  std::string bytes_;
  std::vector<std::uint32_t> ends_;
  std::vector<std::uint32_t> hashes_;
  // 0 for an empty slot, else the index of a term plus one.
  std::array<std::uint16_t, kSlotCount> slots_{};
};

// Replaces the content of `terms` with the terms of `record`. A term is a
// byte string: an upper-cased word (never holds a digit) or a code (always
// holds one), so words and codes never share a key.
//
// Words, in text order: the text fields 1-7 are cut into tokens at separator
// bytes; a token holding a digit is dropped whole; the rest are upper-cased
// (ASCII letters only) and kept unless they are stop words or were already
// kept for this record.
//
// Codes, in field order, after the words: each code field is cut at its first
// separator byte unless that is its first byte (then the whole field, blanks
// and all, is used); the result is kept, unchanged, when it holds a digit.
// A code in two fields is kept twice.
void extractTerms(const DecodedRecord& record, const StopWordSet& stopWords, TermList& terms);

// A digest of what decides a record's terms besides the record itself:
// `stopWords` and this program's version (its rules). Equal for equal
// stop-word sets under one version.
std::uint64_t termRulesDigest(const StopWordSet& stopWords);

}  // namespace indicizza
