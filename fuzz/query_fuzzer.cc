// Fuzz target: the query language and its evaluation, on arbitrary text.
//
// The input is a query as a person or a client would send it (any bytes).
// A small catalogue is written once into a folder of its own: records whose
// words and codes cover letters, accents, prefixes and codes cut at a
// separator, and the index a run would write for them. Each input is parsed;
// when it parses, it is evaluated on that catalogue in both matchings,
// within small limits. Besides running under the sanitizers, it checks what
// the search promises: a parse error is a sentence, the total is at least
// the page, and every record of the page matches the query on its own text.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/berkeley_db.h"
#include "index_store/index_database.h"
#include "indexing/terms.h"
#include "input/plain_record.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "records/data_database.h"
#include "search/evaluation/query_run.h"
#include "search/evaluation/record_match.h"
#include "search/query/query_parser.h"

namespace {

using namespace indicizza;

void require(bool condition) {
  if (!condition) std::abort();
}

std::vector<PlainRecord> catalogue() {
  const char* const texts[] = {"J. S. Bach",
                               "Sonata in sol minore",
                               "Perch\xE9 no",
                               "\xDC"
                               "ber die Stra\xDF"
                               "e",
                               "L'Arl\xE9sienne, suite",
                               "Minuit Chr\xE9tiens",
                               "W. A. Mozart",
                               "Trio sonata IV",
                               "sonatina bachiana"};
  const char* const codes[] = {"BWV1001", "bwv1002", "K.331", " 12 bis", "979-0-2001-1", "OP27"};
  std::vector<PlainRecord> records;
  for (int n = 1; n <= 40; ++n) {
    PlainRecord record;
    record.recordNumber(n).kindCode(n % 3 == 0 ? "AR" : "PF");
    record.textField(1 + n % 7, texts[n % 9]).textField(1 + (n + 3) % 7, texts[(n * 5) % 9]);
    record.codeField(1 + n % 5, codes[n % 6]);
    records.push_back(record);
  }
  return records;
}

// Puts `items` (in key order) into a new database at `path`.
void writeDatabase(const char* path, const std::map<std::string, std::string>& items) {
  bdb::Database database;
  require(database.open(path, bdb::OpenMode::kCreateNew).ok());
  bdb::BulkPairs pairs(1 << 16);
  for (const auto& [key, data] : items) {
    const auto bytes = [](const std::string& s) {
      return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()),
                                           s.size());
    };
    if (!pairs.add(bytes(key), bytes(data))) {
      require(database.putBulk(pairs).ok());
      require(pairs.add(bytes(key), bytes(data)));
    }
  }
  if (pairs.count() != 0) require(database.putBulk(pairs).ok());
  require(database.close().ok());
}

// Writes the catalogue's two databases into a folder of their own and opens
// them there (the search opens the files of the working folder, which is
// then set back: the fuzzer reads and writes its corpus by relative paths).
bool openCatalogue(SearchDatabases& databases) {
  static char folder[] = "/tmp/query-fuzzer-XXXXXX";
  require(mkdtemp(folder) != nullptr);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  const std::filesystem::path working = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const ScrambleKey key = buildScrambleKey();
  const StopWordSet noStopWords;
  std::map<std::string, std::string> data;
  std::map<std::string, std::string> index;
  TermList terms;
  for (const PlainRecord& plain : catalogue()) {
    const DecodedRecord record = DecodedRecord::fromPlain(plain.bytes());
    const RecordKey recordKey = recordKeyOf(recordNumberOf(record));
    const auto scrambled = plain.scrambled(key);
    data[std::string(recordKey.begin(), recordKey.end())] =
        std::string(scrambled.begin(), scrambled.begin() + kStoredRecordSize);
    extractTerms(record, noStopWords, terms);
    const StoredEntry entry = storedEntryOf(makeIndexEntry(record));
    for (std::size_t i = 0; i < terms.size(); ++i) {
      index[std::string(terms[i])].append(entry.begin(), entry.end());
    }
  }
  writeDatabase(kDataDatabaseFileName, data);
  writeDatabase(kIndexDatabaseFileName, index);
  const bool opened = openSearchDatabases(databases).ok();
  std::filesystem::current_path(working);
  return opened;
}

void search(SearchDatabases& databases, const QueryNode& query, Matching matching) {
  SearchOptions options;
  options.matching = matching;
  options.limits = {.maxKeys = 1000, .maxListedRecords = 100000};
  options.limit = 5;
  SearchResult result;
  const Status searched = runQuery(databases, query, options, result);
  require(searched.ok() || searched.code() == Status::Code::kOverBudget);
  if (!searched.ok()) return;
  require(result.total >= result.pageSize && result.page.size() == result.pageSize);
  for (const DecodedRecord& record : result.page) {
    require(matchesRecord(query, viewOf(record, matching), matching));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SearchDatabases databases;
  static const bool opened = openCatalogue(databases);
  require(opened);

  const QueryParse parse = parseQuery(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parse.query) {
    require(!parse.error.empty());
    return 0;
  }
  search(databases, parse.query->root, Matching::kFolded);
  search(databases, parse.query->root, Matching::kExact);
  return 0;
}
