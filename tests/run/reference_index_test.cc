// The whole job at a size that takes several bulk puts and gets in every
// phase, checked against a straightforward model of it: every record of the
// file (the last of equal numbers winning) on top of an earlier run's
// records, read back in key order, each term's entries in that order.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bench/catalogue_generator.h"
#include "index_store/index_database.h"
#include "indexing/word_index.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

constexpr std::uint64_t kFileRecords = 9000;
constexpr std::uint64_t kEarlierRecords = 400;
// Earlier records take numbers from here on: some the file replaces, some
// it doesn't.
constexpr int kFirstEarlierNumber = 8700;

std::vector<PlainRecord> generated(std::uint64_t count, std::uint64_t seed) {
  std::vector<PlainRecord> records;
  bench::generateCatalogue({.records = count, .seed = seed},
                           [&](const PlainRecord& record) { records.push_back(record); });
  return records;
}

std::string dots(std::size_t events, std::size_t every) { return std::string(events / every, '.'); }

TEST(ReferenceIndex, GeneratedCatalogueOverAnEarlierRun) {
  const std::vector<PlainRecord> fileRecords = generated(kFileRecords, 7);
  std::vector<PlainRecord> earlierRecords = generated(kEarlierRecords, 8);
  for (std::size_t i = 0; i < earlierRecords.size(); ++i) {
    earlierRecords[i].recordNumber(kFirstEarlierNumber + static_cast<int>(i));
  }

  // The model: stored items by key (std::string orders as unsigned bytes,
  // like the B-tree), the file's records replacing earlier ones.
  std::map<std::string, std::string> stored;
  std::vector<StoredItem> earlierItems;
  for (const auto& record : earlierRecords) {
    earlierItems.push_back(testing::storedItemOf(record));
    stored.insert_or_assign(earlierItems.back().first, earlierItems.back().second);
  }
  for (const auto& record : fileRecords) {
    auto [storedKey, data] = testing::storedItemOf(record);
    stored.insert_or_assign(storedKey, data);
  }

  const StopWordSet stopWords = parseStopWords(bench::generatedStopWords());
  const ScrambleKey key = buildScrambleKey();
  std::map<std::string, std::string> index;
  TermList terms;
  for (const auto& [storedKey, data] : stored) {
    const DecodedRecord record = DecodedRecord::fromScrambled(
        {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, key);
    extractTerms(record, stopWords, terms);
    const StoredEntry entry = storedEntryOf(makeIndexEntry(record));
    for (std::size_t i = 0; i < terms.size(); ++i) {
      index[std::string(terms[i])].append(reinterpret_cast<const char*>(entry.data()), entry.size());
    }
  }

  testing::CatalogueDir dir;
  dir.stopWords(bench::generatedStopWords());
  dir.records(fileRecords);
  dir.dataDatabase(earlierItems);
  const auto run = dir.run();

  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, "Inizio scansione\n" + dots(kFileRecords, 200) + "\n" +
                            dots(stored.size(), 100) + "\nCreazione db indice\n" +
                            dots(index.size(), 100) + "\nFine scansione\n");
  EXPECT_EQ(dir.dataItems(), std::vector<StoredItem>(stored.begin(), stored.end()));
  EXPECT_EQ(dir.indexItems(), std::vector<StoredItem>(index.begin(), index.end()));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
}

}  // namespace
}  // namespace indicizza
