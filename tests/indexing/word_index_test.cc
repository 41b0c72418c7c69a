#include "indexing/word_index.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "input/plain_record.h"

namespace indicizza {
namespace {

using Listing = std::vector<std::pair<std::string, std::vector<IndexEntry>>>;

Listing listingOf(const WordIndex& index) {
  Listing listing;
  index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    listing.emplace_back(std::string(term),
                         std::vector<IndexEntry>(entries.begin(), entries.end()));
    return true;
  });
  return listing;
}

std::vector<std::string> termsOf(const WordIndex& index) {
  std::vector<std::string> terms;
  for (const auto& [term, entries] : listingOf(index)) terms.push_back(term);
  return terms;
}

TEST(WordIndex, IteratesInUnsignedByteOrderPrefixFirst) {
  WordIndex index;
  const IndexEntry entry{1, {{'A', 'B'}}};
  for (const char* term : {"B", "AB", "\xC9T\xC9", "A", "Z", "1", "AA"}) index.add(term, entry);
  EXPECT_EQ(termsOf(index),
            (std::vector<std::string>{"1", "A", "AA", "AB", "B", "Z", "\xC9T\xC9"}));
}

TEST(WordIndex, KeepsEntriesInTheOrderAdded) {
  WordIndex index;
  index.add("SONATA", {9, {{'P', 'F'}}});
  index.add("RONDO", {9, {{'P', 'F'}}});
  index.add("SONATA", {5, {{'o', 'G'}}});
  index.add("SONATA", {5, {{'o', 'G'}}});
  EXPECT_EQ(listingOf(index),
            (Listing{{"RONDO", {{9, {{'P', 'F'}}}}},
                     {"SONATA", {{9, {{'P', 'F'}}}, {5, {{'o', 'G'}}}, {5, {{'o', 'G'}}}}}}));
  EXPECT_EQ(index.termCount(), 2u);
}

TEST(IndexRecord, AddsTheRecordEntryUnderEachTerm) {
  WordIndex index;
  const StopWordSet stopWords = parseStopWords("IL\n");
  TermList terms;  // one list for every record, as in a scan
  const auto add = [&](const PlainRecord& record) {
    indexRecord(DecodedRecord::fromPlain(record.bytes()), stopWords, index, terms);
  };
  add(PlainRecord()
          .recordNumber(5)
          .kindCode("AB")
          .flags('1', '2')
          .textField(1, "il Tema tema")
          .codeField(1, "K7")
          .codeField(4, "K7"));
  add(PlainRecord().recordNumber(9).kindCode("CD").textField(2, "TEMA"));
  add(PlainRecord().recordNumber(11).textField(1, "il 123"));  // yields no term

  const IndexEntry five{5, {{'a', 'B'}}};
  const IndexEntry nine{9, {{'C', 'D'}}};
  EXPECT_EQ(listingOf(index), (Listing{{"K7", {five, five}}, {"TEMA", {five, nine}}}));
}

}  // namespace
}  // namespace indicizza
