#include "catalogo/verify_command.h"

#include <cstdio>
#include <map>
#include <set>
#include <span>
#include <string>

#include "base/btree_pages.h"
#include "base/console.h"
#include "base/item_walk.h"
#include "catalogo/exit_status.h"
#include "catalogo/read_only_database.h"
#include "catalogo/record_display.h"
#include "catalogo/tool_failure.h"
#include "index_store/index_database.h"
#include "indexing/word_index.h"
#include "input/stop_words.h"
#include "records/data_database.h"

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
  const ScrambleKey key = buildScrambleKey();
  ExpectedIndex expected;
  TermList terms;  // one list for every record, as in the indexer's scan
  const WalkEnd end = walkItems(data.handle, [&](const bdb::Item&, const bdb::Item& item) {
    if (item.size != kStoredRecordSize) {
      ++expected.skippedItems;
      return;
    }
    const DecodedRecord record = DecodedRecord::fromScrambled(item.bytes(), key);
    expected.storedNumbers.insert(recordNumberOf(record));
    indexRecord(record, stopWords, expected.index, terms);
  });
  switch (end) {
    case WalkEnd::kComplete:
    case WalkEnd::kNoFirstItem: break;  // an empty database is checked like any other
    case WalkEnd::kNoCursor: throw ToolFailure("Errore nella creazione del cursore su " + data.fileName);
    case WalkEnd::kBroken: throw ToolFailure("Errore lettura " + data.fileName + ": file danneggiato");
  }
  return expected;
}

// Refuses a database whose pages are damaged (a walk over it could end
// early or never end) or that is not of the indexer's kind.
void checkPages(const std::string& fileName) {
  const auto state = checkBtreeFile(fileName);
  if (!state) throw ToolFailure("Errore lettura " + fileName);
  if (*state == BtreeFileState::kForeign) {
    throw ToolFailure(fileName + " non è un database dell'indicizzatore (chiavi doppie, sotto-database o altro formato)");
  }
  if (*state == BtreeFileState::kDamaged) throw ToolFailure("Errore lettura " + fileName + ": file danneggiato");
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
    for (const IndexEntry& entry : expectedEntries) wanted.emplace(entry.recordNumber, entry.kindCode);
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
    reportLine(line);
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
  StopWordFileFailure failure;
  const StopWordSet stopWords = readStopWords(kStopWordFileName, failure);
  if (failure == StopWordFileFailure::kCannotOpen) {
    throw ToolFailure(std::string("File ") + kStopWordFileName + " indefinito");
  }
  if (failure == StopWordFileFailure::kReadError) {
    throw ToolFailure(std::string("Errore durante la lettura di ") + kStopWordFileName);
  }
  ReadOnlyDatabase index = openReadOnly(kIndexDatabaseFileName);
  ReadOnlyDatabase data = openReadOnly(kDataDatabaseFileName);
  checkPages(kIndexDatabaseFileName);
  checkPages(kDataDatabaseFileName);
  const ExpectedIndex expected = indexStoredRecords(data, stopWords);

  // Both sides are in unsigned byte order of the terms: walk them together.
  Comparison comparison(expected, stopWords);
  bdb::Cursor cursor;
  Status result = index.handle.openCursor(cursor);
  if (!result.ok()) throw ToolFailure("Errore nella creazione del cursore su " + index.fileName);
  bdb::Item key;
  bdb::Item item;
  result = cursor.first(key, item);
  // The terms of a sound file ascend; a step back is damage the page check
  // could not see.
  std::string previousTerm;
  bool ascending = true;
  const auto step = [&] {
    previousTerm = termOf(key);
    result = cursor.next(key, item);
    if (result.ok() && termOf(key) <= previousTerm) ascending = false;
  };
  expected.index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    while (result.ok() && ascending && termOf(key) < term) {
      comparison.storedTerm(termOf(key), item.bytes(), {});
      step();
    }
    if (result.ok() && ascending && termOf(key) == term) {
      comparison.storedTerm(term, item.bytes(), entries);
      step();
    } else {
      comparison.absentTerm(term, entries);
    }
  });
  while (result.ok() && ascending) {
    comparison.storedTerm(termOf(key), item.bytes(), {});
    step();
  }
  if (!ascending) throw ToolFailure("Errore lettura " + index.fileName + ": file danneggiato");
  if (result.code() != Status::Code::kNotFound) {
    throw ToolFailure("Errore lettura " + index.fileName + ": " + result.text());
  }

  if (expected.skippedItems != 0) {
    reportLine(std::to_string(expected.skippedItems) + " elementi di " + data.fileName +
               " non lunghi 524 byte: ignorati, come fa l'indicizzatore");
  }
  reportLine("Record: " + std::to_string(expected.storedNumbers.size()) +
             ", termini: " + std::to_string(comparison.terms()) +
             ", voci: " + std::to_string(comparison.entries()) +
             ", discordanze: " + std::to_string(comparison.disagreements()));
  return comparison.disagreements() == 0 ? kExitFound : kExitNotFound;
}

}  // namespace indicizza::catalogo
