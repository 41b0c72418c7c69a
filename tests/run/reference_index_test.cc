// The whole job at a size that takes several bulk puts and gets in every
// phase, checked against a model of it written here from the rules, sharing
// no code with the indexer: every record of the file (the last of equal
// numbers winning) on top of an earlier run's records, read back in key
// order, each term's entries in that order; a term no record carries any
// more keeps the entries it had. Then the same for the next run in the
// folder, which reads only the records of its own file.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "generator/catalogue_generator.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::StoredItem;

constexpr std::uint64_t kFileRecords = 9000;
constexpr std::uint64_t kEarlierRecords = 400;
// Earlier records take numbers from here on: some the file replaces, some
// it doesn't.
constexpr int kFirstEarlierNumber = 8700;
// At most an eighth of the records stored, as an increment that reads
// only its own records must be.
constexpr std::uint64_t kIncrementRecords = 1000;

// The model: the rules of the indexer written out plainly, one record at a
// time, with standard containers.
namespace model {

struct Field {
  std::size_t offset;
  std::size_t length;
};
constexpr std::array<Field, 7> kTextFields = {
    {{0, 30}, {30, 30}, {60, 30}, {90, 77}, {398, 30}, {428, 43}, {471, 43}}};
constexpr std::array<Field, 5> kCodeFields = {
    {{201, 13}, {214, 13}, {227, 13}, {240, 13}, {253, 13}}};
constexpr std::string_view kSeparators = " \t\",.;:-+!%&/?()[]'";

bool isSeparator(char c) { return kSeparators.find(c) != std::string_view::npos; }
bool holdsDigit(std::string_view s) {
  return s.find_first_of("0123456789") != std::string_view::npos;
}

// Stop words: one per line; a line feed ends a line, a carriage return just
// before it goes with it; Ctrl-Z ends the file; a zero byte ends a word.
std::set<std::string> stopWords(std::string content) {
  content = content.substr(0, content.find('\x1A'));
  std::set<std::string> words;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = content.find('\n', start);
    std::string line =
        content.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    words.insert(line.substr(0, line.find('\0')));
    if (end == std::string::npos) return words;
    start = end + 1;
  }
}

// The plain bytes of stored (or file) bytes: byte i XOR key byte i mod 8.
std::string plainOf(const std::string& scrambled, const ScrambleKey& key) {
  std::string plain = scrambled;
  for (std::size_t i = 0; i < plain.size(); ++i)
    plain[i] = static_cast<char>(plain[i] ^ key.bytes[i % 8]);
  return plain;
}

// The record number: the six bytes at 278 read as atoi reads them.
std::int32_t recordNumber(const std::string& plain) {
  return static_cast<std::int32_t>(std::strtol(plain.substr(278, 6).c_str(), nullptr, 10));
}

std::string littleEndian(std::int32_t number) {
  const auto bits = static_cast<std::uint32_t>(number);
  return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
          static_cast<char>(bits >> 24)};
}

// The stored entry: number, kind code (first letter lower-cased when flags
// A and B are 1 and 2, either way round), two zero bytes.
std::string entry(const std::string& plain) {
  char kind0 = plain[266];
  const char kind1 = kind0 == '\0' ? '\0' : plain[267];
  const std::string flags = {plain[183], plain[297]};
  if ((flags == "12" || flags == "21") && kind0 >= 'A' && kind0 <= 'Z')
    kind0 = static_cast<char>(kind0 - 'A' + 'a');
  return littleEndian(recordNumber(plain)) + kind0 + kind1 + std::string(2, '\0');
}

// The record's terms: the words of its text fields, then its codes.
std::vector<std::string> terms(const std::string& plain, const std::set<std::string>& stop) {
  const std::string text = plain.substr(0, plain.find('\0'));
  const auto field = [&](Field f) {
    return f.offset < text.size() ? text.substr(f.offset, f.length) : std::string();
  };
  std::vector<std::string> result;
  std::set<std::string> seen;
  for (const Field f : kTextFields) {
    std::string token;
    for (const char c : field(f) + " ") {
      if (!isSeparator(c)) {
        token += c;
        continue;
      }
      if (!token.empty() && !holdsDigit(token)) {
        for (char& letter : token) {
          if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        }
        if (!stop.contains(token) && seen.insert(token).second) result.push_back(token);
      }
      token.clear();
    }
  }
  for (const Field f : kCodeFields) {
    std::string code = field(f);
    std::size_t cut = 0;
    while (cut < code.size() && !isSeparator(code[cut])) ++cut;
    if (cut > 0 && cut < code.size()) code.resize(cut);
    if (holdsDigit(code)) result.push_back(code);
  }
  return result;
}

}  // namespace model

std::vector<PlainRecord> generated(std::uint64_t count, std::uint64_t seed) {
  std::vector<PlainRecord> records;
  generator::generateCatalogue({.records = count, .seed = seed},
                               [&](const PlainRecord& record) { records.push_back(record); });
  return records;
}

std::string dots(std::size_t events, std::size_t every) { return std::string(events / every, '.'); }

// Stored items by key (std::string orders as unsigned bytes, like the
// B-tree) after the records of `fileContent` replace or join them.
void storeFile(std::map<std::string, std::string>& stored, const std::string& fileContent,
               const ScrambleKey& key) {
  for (std::size_t at = 0; at + 525 <= fileContent.size(); at += 525) {
    const std::string scrambled = fileContent.substr(at, 525);
    stored.insert_or_assign(
        model::littleEndian(model::recordNumber(model::plainOf(scrambled, key))),
        scrambled.substr(0, 524));
  }
}

// The index of `stored`: every term some record carries, with the entries
// of those records in key order; a term of `earlier` no record carries any
// more keeps its array. Gives how many terms records carry.
std::size_t indexOf(const std::map<std::string, std::string>& stored, const ScrambleKey& key,
                    std::map<std::string, std::string>& index) {
  const std::set<std::string> stop = model::stopWords(generator::generatedStopWords());
  std::map<std::string, std::string> made;
  for (const auto& [storedKey, data] : stored) {
    const std::string plain = model::plainOf(data, key);
    for (const std::string& term : model::terms(plain, stop)) made[term] += model::entry(plain);
  }
  for (const auto& [term, entries] : made) index[term] = entries;
  return made.size();
}

TEST(ReferenceIndex, GeneratedCatalogueOverAnEarlierRunAndAnIncrementOverIt) {
  const std::vector<PlainRecord> fileRecords = generated(kFileRecords, 7);
  std::vector<PlainRecord> earlierRecords = generated(kEarlierRecords, 8);
  for (std::size_t i = 0; i < earlierRecords.size(); ++i) {
    earlierRecords[i].recordNumber(kFirstEarlierNumber + static_cast<int>(i));
  }
  std::vector<StoredItem> earlierItems;
  for (const auto& record : earlierRecords) earlierItems.push_back(testing::storedItemOf(record));
  const ScrambleKey key = buildScrambleKey();
  const std::string fileContent = recordFileContent(fileRecords, key);

  std::map<std::string, std::string> stored(earlierItems.begin(), earlierItems.end());
  storeFile(stored, fileContent, key);
  std::map<std::string, std::string> index;
  const std::size_t made = indexOf(stored, key, index);

  testing::CatalogueDir dir;
  dir.stopWords(generator::generatedStopWords());
  testing::writeFile(dir / "opere.cry", fileContent);
  dir.dataDatabase(earlierItems);
  const auto run = dir.run();

  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, "Inizio scansione\n" + dots(kFileRecords, 200) + "\n" +
                            dots(stored.size(), 100) + "\nCreazione db indice\n" + dots(made, 100) +
                            "\nFine scansione\n");
  EXPECT_EQ(dir.dataItems(), std::vector<StoredItem>(stored.begin(), stored.end()));
  EXPECT_EQ(dir.indexItems(), std::vector<StoredItem>(index.begin(), index.end()));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));

  // The next run: a third of its records new, the rest replacing records
  // with others' words, so that terms leave records, and some every record.
  std::vector<PlainRecord> incrementRecords = generated(kIncrementRecords, 9);
  for (std::size_t i = 0; i < incrementRecords.size(); ++i) {
    const int number = static_cast<int>(i * 5 % 3 == 0 ? kFileRecords + i : i * 3);
    incrementRecords[i].recordNumber(number);
  }
  const std::string incrementContent = recordFileContent(incrementRecords, key);
  storeFile(stored, incrementContent, key);
  const std::size_t madeAfter = indexOf(stored, key, index);
  ASSERT_LT(madeAfter, index.size()) << "some term is to be kept";
  testing::writeFile(dir / "opere.cry", incrementContent);
  const auto increment = dir.run();

  EXPECT_EQ(increment.exitStatus, 0);
  EXPECT_EQ(increment.output, "Inizio scansione\n" + dots(kIncrementRecords, 200) + "\n" +
                                  dots(stored.size(), 100) + "\nCreazione db indice\n" +
                                  dots(madeAfter, 100) + "\nFine scansione\n");
  EXPECT_EQ(dir.dataItems(), std::vector<StoredItem>(stored.begin(), stored.end()));
  EXPECT_EQ(dir.indexItems(), std::vector<StoredItem>(index.begin(), index.end()));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
}

}  // namespace
}  // namespace indicizza
