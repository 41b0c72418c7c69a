#include "catalogo/cli/verify_command.h"

#include <iostream>
#include <map>
#include <set>
#include <span>
#include <string>

#include "base/item_walk.h"
#include "base/status.h"
#include "catalogo/cli/exit_status.h"
#include "catalogue/read_only_database.h"
#include "catalogue/record_display.h"
#include "catalogo/cli/tool_failure.h"
#include "index_store/index_database.h"
#include "indexing/word_index.h"
#include "input/stop_words.h"
#include "records/data_database.h"
#include "records/scan_records.h"

namespace indicizza::catalogo {
namespace {

// Indexes every stored record as the scan phase does, and gathers the
// numbers of the stored records.
struct ExpectedIndex {
  WordIndex index;
  std::set<RecordNumber> storedNumbers;
  std::size_t skippedItems = 0;
};

ExpectedIndex indexStoredRecords(ReadOnlyDatabase& data, const StopWordSet& stopWords) {
  ExpectedIndex expected;
  TermList terms;  // one list for every record, as in the indexer's scan
  const Status scanned = tryScanRecords(
      data.handle, buildScrambleKey(),
      [&](const DecodedRecord& record) {
        expected.storedNumbers.insert(recordNumberOf(record));
        indexRecord(record, stopWords, expected.index, terms);
      },
      [&](const bdb::Item&, std::size_t) { ++expected.skippedItems; });
  // An empty database is checked like any other.
  failOn(checkWalkEnd(data, scanned));
  return expected;
}

// Compares one term's stored entries with the expected ones and reports each
// disagreement.
class Comparison {
 public:
  Comparison(const ExpectedIndex& expected, const StopWordSet& stopWords)
      : expected_(expected), stopWords_(stopWords) {}

  // A term the index database holds; `entries` is empty for a term that no
  // stored record carries.
  void storedTerm(std::string_view term, std::span<const std::uint8_t> data,
                  std::span<const IndexEntry> expectedEntries) {
    ++terms_;
    const auto stored = entriesOf(data);
    if (!stored) {
      disagree("Dati di lunghezza errata: " + displayText(term) + " (" +
               std::to_string(data.size()) + " byte)");
      return;
    }
    entries_ += stored->size();
    std::map<RecordNumber, KindCode> wanted;
    for (const IndexEntry& entry : expectedEntries)
      wanted.emplace(entry.recordNumber, entry.kindCode);
    std::set<RecordNumber> seen;
    for (const IndexEntry& entry : *stored) {
      seen.insert(entry.recordNumber);
      const std::string where = displayText(term) + " -> " + std::to_string(entry.recordNumber);
      const auto match = wanted.find(entry.recordNumber);
      if (match != wanted.end()) {
        if (match->second != entry.kindCode) {
          disagree("Tipo errato: " + where + " (" + kindCodeText(entry.kindCode) + ", nel record " +
                   kindCodeText(match->second) + ")");
        }
      } else if (!expected_.storedNumbers.contains(entry.recordNumber)) {
        disagree("Voce senza record: " + where);
      } else if (stopWords_.contains(term)) {
        disagree("Voce di una parola di noused.txt: " + where);
      } else {
        disagree("Voce superata: " + where + " (il record non contiene il termine)");
      }
    }
    for (const auto& [number, kindCode] : wanted) {
      if (!seen.contains(number)) missing(term, number);
    }
  }

  // A term some stored record carries that the index database lacks.
  void absentTerm(std::string_view term, std::span<const IndexEntry> expectedEntries) {
    std::set<RecordNumber> numbers;
    for (const IndexEntry& entry : expectedEntries) numbers.insert(entry.recordNumber);
    for (RecordNumber number : numbers) missing(term, number);
  }

  std::size_t disagreements() const { return disagreements_; }
  std::size_t terms() const { return terms_; }
  std::size_t entries() const { return entries_; }

 private:
  void missing(std::string_view term, RecordNumber number) {
    disagree("Voce mancante: " + displayText(term) + " -> " + std::to_string(number));
  }
  void disagree(const std::string& line) {
    ++disagreements_;
    std::cout << line << '\n';
  }

  const ExpectedIndex& expected_;
  const StopWordSet& stopWords_;
  std::size_t disagreements_ = 0;
  std::size_t terms_ = 0;
  std::size_t entries_ = 0;
};

std::string_view termOf(const bdb::Item& key) {
  return {reinterpret_cast<const char*>(key.data), key.size};
}

}  // namespace

int runVerify() {
  StopWordSet stopWords;
  const Status loaded = tryLoadStopWords(kStopWordFileName, stopWords);
  if (loaded.code() == Status::Code::kCannotOpen) throw ToolFailure(kStopWordFileOpenFailed);
  if (!loaded.ok()) throw ToolFailure(kStopWordFileReadFailed);
  ReadOnlyDatabase index;
  failOn(openReadOnly(kIndexDatabaseFileName, index));
  ReadOnlyDatabase data;
  failOn(openReadOnly(kDataDatabaseFileName, data));
  failOn(checkDatabasePages(index));
  failOn(checkDatabasePages(data));
  const ExpectedIndex expected = indexStoredRecords(data, stopWords);

  // Both sides are in unsigned byte order of the terms: walk them together.
  Comparison comparison(expected, stopWords);
  ItemWalk walk(index.handle);
  bdb::Item key;
  bdb::Item item;
  bool more = walk.next(key, item);
  expected.index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    while (more && termOf(key) < term) {
      comparison.storedTerm(termOf(key), item.bytes(), {});
      more = walk.next(key, item);
    }
    // A walk that failed says nothing of the terms after it.
    if (!more) failOn(checkWalkEnd(index, walk.status()));
    if (more && termOf(key) == term) {
      comparison.storedTerm(term, item.bytes(), entries);
      more = walk.next(key, item);
    } else {
      comparison.absentTerm(term, entries);
    }
    return true;
  });
  while (more) {
    comparison.storedTerm(termOf(key), item.bytes(), {});
    more = walk.next(key, item);
  }
  failOn(checkWalkEnd(index, walk.status()));

  if (expected.skippedItems != 0) {
    std::cout << expected.skippedItems << " elementi di " << data.fileName
              << " non lunghi 524 byte: ignorati, come fa l'indicizzatore\n";
  }
  std::cout << "Record: " << expected.storedNumbers.size() << ", termini: " << comparison.terms()
            << ", voci: " << comparison.entries() << ", discordanze: " << comparison.disagreements()
            << '\n';
  return comparison.disagreements() == 0 ? kExitFound : kExitNotFound;
}

}  // namespace indicizza::catalogo
