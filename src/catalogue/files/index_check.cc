#include "catalogue/files/index_check.h"

#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "base/item_walk.h"
#include "catalogue/forms/record_display.h"
#include "catalogue/text/terminal_text.h"
#include "index_store/index_database.h"
#include "indexing/word_index.h"
#include "records/data_database.h"
#include "records/scan_records.h"

namespace indicizza {
namespace {

// Indexes every stored record as the scan phase does, and gathers the
// numbers of the stored records.
struct ExpectedIndex {
  WordIndex index;
  std::vector<RecordNumber> storedNumbers;  // ascending, each once (once the scan is over)
  std::size_t skippedItems = 0;

  bool isStored(RecordNumber number) const {
    return std::binary_search(storedNumbers.begin(), storedNumbers.end(), number);
  }
};

Status indexStoredRecords(ReadOnlyDatabase& data, const StopWordSet& stopWords,
                          ExpectedIndex& expected) {
  TermList terms;  // one list for every record, as in the indexer's scan
  const Status scanned = tryScanRecords(
      data.handle, buildScrambleKey(),
      [&](const DecodedRecord& record) {
        expected.storedNumbers.push_back(recordNumberOf(record));
        indexRecord(record, stopWords, expected.index, terms);
      },
      [&](const bdb::Item&, std::size_t) { ++expected.skippedItems; });
  std::vector<RecordNumber>& numbers = expected.storedNumbers;
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  // An empty database is checked like any other.
  return checkWalkEnd(data, scanned);
}

// Whether `stored` holds exactly `expected`, entry by entry in the same
// order, as a run writes a term it produced: then the term has no
// disagreement, and the slow comparison below need not look.
bool sameEntries(std::span<const std::uint8_t> stored, std::span<const IndexEntry> expected) {
  if (stored.size() != expected.size() * kStoredEntrySize) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const StoredEntry entry = storedEntryOf(expected[i]);
    if (!std::equal(entry.begin(), entry.end(), stored.begin() + i * kStoredEntrySize)) {
      return false;
    }
  }
  return true;
}

// Compares one term's stored entries with the expected ones and reports each
// disagreement.
class Comparison {
 public:
  Comparison(const ExpectedIndex& expected, const StopWordSet& stopWords,
             const std::function<void(const std::string&)>& report)
      : expected_(expected), stopWords_(stopWords), report_(report) {}

  // A term the index database holds; `entries` is empty for a term that no
  // stored record carries.
  void storedTerm(std::string_view term, std::span<const std::uint8_t> data,
                  std::span<const IndexEntry> expectedEntries) {
    ++terms_;
    if (!expectedEntries.empty() && sameEntries(data, expectedEntries)) {
      entries_ += expectedEntries.size();
      return;
    }
    const auto stored = entriesOf(data);
    if (!stored) {
      disagree("Dati di lunghezza errata: " + terminalTextOfLatin1(term) + " (" +
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
      const std::string where =
          terminalTextOfLatin1(term) + " -> " + std::to_string(entry.recordNumber);
      const auto match = wanted.find(entry.recordNumber);
      if (match != wanted.end()) {
        if (match->second != entry.kindCode) {
          disagree("Tipo errato: " + where + " (" + terminalText(kindCodeText(entry.kindCode)) +
                   ", nel record " + terminalText(kindCodeText(match->second)) + ")");
        }
      } else if (!expected_.isStored(entry.recordNumber)) {
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
    disagree("Voce mancante: " + terminalTextOfLatin1(term) + " -> " + std::to_string(number));
  }
  void disagree(const std::string& line) {
    ++disagreements_;
    report_(line);
  }

  const ExpectedIndex& expected_;
  const StopWordSet& stopWords_;
  const std::function<void(const std::string&)>& report_;
  std::size_t disagreements_ = 0;
  std::size_t terms_ = 0;
  std::size_t entries_ = 0;
};

}  // namespace

Status checkIndex(ReadOnlyDatabase& index, ReadOnlyDatabase& data, const StopWordSet& stopWords,
                  const std::function<void(const std::string&)>& report, IndexCheck& check) {
  check = IndexCheck();
  Status checked = checkDatabasePages(index);
  if (checked.ok()) checked = checkDatabasePages(data);
  ExpectedIndex expected;
  if (checked.ok()) checked = indexStoredRecords(data, stopWords, expected);
  if (!checked.ok()) return checked;
  check.records = expected.storedNumbers.size();
  check.skippedItems = expected.skippedItems;

  // Both sides are in unsigned byte order of the terms: walk them together.
  Comparison comparison(expected, stopWords, report);
  ItemWalk walk(index.handle);
  Status walkEnd;
  bdb::Item key;
  bdb::Item item;
  bool more = walk.next(key, item);
  expected.index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    while (more && key.text() < term) {
      comparison.storedTerm(key.text(), item.bytes(), {});
      more = walk.next(key, item);
    }
    if (!more) {
      walkEnd = checkWalkEnd(index, walk.status());
      // A walk that failed says nothing of the terms after it.
      if (!walkEnd.ok()) return false;
    }
    if (more && key.text() == term) {
      comparison.storedTerm(term, item.bytes(), entries);
      more = walk.next(key, item);
    } else {
      comparison.absentTerm(term, entries);
    }
    return true;
  });
  if (!walkEnd.ok()) return walkEnd;
  while (more) {
    comparison.storedTerm(key.text(), item.bytes(), {});
    more = walk.next(key, item);
  }
  walkEnd = checkWalkEnd(index, walk.status());
  if (!walkEnd.ok()) return walkEnd;

  check.terms = comparison.terms();
  check.entries = comparison.entries();
  check.disagreements = comparison.disagreements();
  return {};
}

}  // namespace indicizza
