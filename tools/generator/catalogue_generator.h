// A deterministic generator of realistic catalogues for benchmarks and
// tests: the same options always give the same records, byte for byte.
//
// Each record carries 20-40 words drawn from a vocabulary with a long Zipf
// tail (exponent 1.2 over two million words), mixed case, some accented
// (Latin-1) letters, apostrophe forms (L'..., DELL'...), stop words, tokens
// with digits (OP27, 1999, K.331), and codes: catalogue numbers, hyphenated
// numbers, years, a few 13-digit numbers and codes that start with a blank.
// Record numbers rise 1, 2, 3, ...; about 1% of records repeat the number
// of an earlier one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "input/plain_record.h"

namespace indicizza::generator {

struct CatalogueOptions {
  std::uint64_t records = 0;
  std::uint64_t seed = 1;
  double repeatedNumberShare = 0.01;
};

// Calls `sink` with each record in file order. Throws std::out_of_range when
// the record numbers would not fit their six characters (about 1,010,000
// records at most).
void generateCatalogue(const CatalogueOptions& options,
                       const std::function<void(const PlainRecord&)>& sink);

// The stop-word file that goes with generated catalogues.
std::string generatedStopWords();

}  // namespace indicizza::generator
