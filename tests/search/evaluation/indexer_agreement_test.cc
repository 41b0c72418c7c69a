// Search checks every record the index proposes against the record's own
// text (record_match.h), so it must read a record exactly as the indexer
// does: a term it thinks a record lacks turns a live entry into a "stale"
// one and a result into no result. For generated records and for records
// made at the edges of the rules, the terms search believes a record
// carries are the terms the indexer extracts, and a search for each of them
// finds the record.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "generator/catalogue_generator.h"
#include "indexing/terms.h"
#include "input/plain_record.h"
#include "search/evaluation/record_match.h"

namespace indicizza {
namespace {

// Records at the edges of the word and code rules.
std::vector<PlainRecord> edgeRecords() {
  return {
      PlainRecord()
          .recordNumber(1)
          .textField(1, "l'amore, w.a. Mozart")
          .textField(4, "op27 K.331")
          .codeField(1, "K.331"),
      PlainRecord().recordNumber(2).codeField(1, "979-0-2001-1").codeField(2, "-12 bis"),
      PlainRecord()
          .recordNumber(3)
          .codeField(1, " 12 bis")
          .codeField(2, "BWV1009")
          .codeField(3, "BWV1009"),
      PlainRecord()
          .recordNumber(4)
          .textField(4,
                     "Perch\xE9 \xDC"
                     "BER stra\xDF"
                     "e [a-z] (x+y)")
          .codeField(5, "abc"),
      PlainRecord()
          .recordNumber(5)
          .textField(4, std::string(77, 'w'))
          .codeField(1, "1234567890123"),
  };
}

std::vector<PlainRecord> recordsToCompare() {
  std::vector<PlainRecord> records = edgeRecords();
  generator::generateCatalogue({.records = 3000, .seed = 11},
                               [&](const PlainRecord& record) { records.push_back(record); });
  return records;
}

TEST(IndexerAgreement, SearchReadsEveryRecordAsTheIndexerDoes) {
  const StopWordSet noStopWords;
  TermList extracted;
  for (const PlainRecord& plain : recordsToCompare()) {
    const DecodedRecord record = DecodedRecord::fromPlain(plain.bytes());
    extractTerms(record, noStopWords, extracted);
    std::set<std::string> indexed;
    for (std::size_t i = 0; i < extracted.size(); ++i) indexed.emplace(extracted[i]);

    const RecordView exact = viewOf(record, Matching::kExact);
    const std::set<std::string> believed(exact.indexTerms.begin(), exact.indexTerms.end());
    ASSERT_EQ(believed, indexed) << "record " << recordNumberOf(record);

    const RecordView folded = viewOf(record, Matching::kFolded);
    for (const std::string& term : indexed) {
      QueryNode search;
      search.tokens = {term};
      EXPECT_TRUE(carriesTerm(exact, term)) << term;
      EXPECT_TRUE(matchesRecord(search, exact, Matching::kExact)) << term;
      EXPECT_TRUE(matchesRecord(search, folded, Matching::kFolded)) << term;
    }
  }
}

}  // namespace
}  // namespace indicizza
