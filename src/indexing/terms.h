// The terms a record is indexed under: the filtered words of its seven text
// fields, then the codes of its five code fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/decoded_record.h"
#include "input/stop_words.h"

namespace indicizza {

// A term is a byte string: an upper-cased word (never holds a digit) or a
// code (always holds one), so words and codes never share a key.
using Term = std::string;

// The terms of one record, in order, packed in one buffer. Clearing keeps
// the capacity, so one list can serve every record of a scan.
class TermList {
 public:
  void clear() {
    bytes_.clear();
    ends_.clear();
    signatures_.clear();
  }
  void append(std::string_view term) {
    bytes_.append(term);
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    signatures_.push_back(signatureOf(term));
  }
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }
  // Whether the list holds `term` (a linear search: records hold few terms;
  // the bytes are compared only where the signatures agree).
  bool contains(std::string_view term) const;

 private:
  // Length, first and last byte of a term, packed: equal terms have equal
  // signatures.
  static std::uint32_t signatureOf(std::string_view term) {
    if (term.empty()) return 0;
    return static_cast<std::uint32_t>(term.size()) << 16 |
           std::uint32_t{static_cast<std::uint8_t>(term.front())} << 8 |
           static_cast<std::uint8_t>(term.back());
  }

  std::string bytes_;
  std::vector<std::uint32_t> ends_;
  std::vector<std::uint32_t> signatures_;
};

// Replaces the content of `terms` with the terms of `record`:
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

}  // namespace indicizza
