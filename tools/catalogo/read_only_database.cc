#include "catalogo/read_only_database.h"

#include <filesystem>

#include "base/btree_pages.h"
#include "catalogo/record_display.h"
#include "catalogo/tool_failure.h"
#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

[[noreturn]] void readFailed(const ReadOnlyDatabase& database, const Status& status) {
  std::string message = "Errore lettura " + database.fileName;
  if (!status.text().empty()) message += ": " + status.text();
  throw ToolFailure(message);
}

}  // namespace

ReadOnlyDatabase openReadOnly(const std::string& fileName) {
  ReadOnlyDatabase database{bdb::Database(), fileName};
  std::error_code ignored;
  if (!std::filesystem::exists(fileName, ignored))
    throw ToolFailure("File " + fileName + " indefinito");
  const Status opened = database.handle.open(fileName.c_str(), bdb::OpenMode::kReadOnly);
  if (!opened.ok()) {
    throw ToolFailure("Errore apertura " + fileName + ": " + opened.text());
  }
  return database;
}

void checkDatabasePages(const ReadOnlyDatabase& database) {
  const Status checked = checkBtreeFile(database.fileName);
  switch (checked.code()) {
    case Status::Code::kOk: return;
    case Status::Code::kForeign:
      throw ToolFailure(
          database.fileName +
          " non è un database dell'indicizzatore (chiavi doppie, sotto-database o altro formato)");
    case Status::Code::kDamaged:
      throw ToolFailure("Errore lettura " + database.fileName + ": file danneggiato");
    default: throw ToolFailure("Errore lettura " + database.fileName);
  }
}

void checkWalkEnd(const ReadOnlyDatabase& database, const Status& status) {
  if (status.ok() || status.code() == Status::Code::kEmpty) return;
  if (status.code() == Status::Code::kNoHandle) {
    throw ToolFailure("Errore nella creazione del cursore su " + database.fileName);
  }
  if (status.code() == Status::Code::kDamaged) {
    throw ToolFailure("Errore lettura " + database.fileName + ": file danneggiato");
  }
  readFailed(database, status);
}

namespace {

// The item stored under `number`; nothing when the key is absent.
std::optional<bdb::Item> storedRecordItem(ReadOnlyDatabase& data, RecordNumber number) {
  const RecordKey recordKey = recordKeyOf(number);
  bdb::Item item;
  const Status result = data.handle.get(recordKey, item);
  if (result.code() == Status::Code::kNotFound) return std::nullopt;
  if (!result.ok()) readFailed(data, result);
  return item;
}

}  // namespace

std::optional<DecodedRecord> fetchRecord(ReadOnlyDatabase& data, RecordNumber number,
                                         const ScrambleKey& key) {
  const std::optional<bdb::Item> item = storedRecordItem(data, number);
  if (!item) return std::nullopt;
  if (item->size != kStoredRecordSize) {
    throw ToolFailure("Record di lunghezza errata in " + data.fileName + ", chiave " +
                      std::to_string(number));
  }
  return DecodedRecord::fromScrambled(item->bytes(), key);
}

std::optional<DecodedRecord> fetchWholeRecord(ReadOnlyDatabase& data, RecordNumber number,
                                              const ScrambleKey& key) {
  const std::optional<bdb::Item> item = storedRecordItem(data, number);
  if (!item || item->size != kStoredRecordSize) return std::nullopt;
  return DecodedRecord::fromScrambled(item->bytes(), key);
}

std::optional<std::vector<IndexEntry>> entriesOf(std::span<const std::uint8_t> stored) {
  if (stored.size() % kStoredEntrySize != 0) return std::nullopt;
  std::vector<IndexEntry> entries;
  entries.reserve(stored.size() / kStoredEntrySize);
  for (std::size_t at = 0; at < stored.size(); at += kStoredEntrySize) {
    entries.push_back(indexEntryOf(stored.subspan(at).first<kStoredEntrySize>()));
  }
  return entries;
}

namespace {

// The data stored under `term`, a whole number of entries; empty when the
// term is absent.
std::span<const std::uint8_t> storedEntries(ReadOnlyDatabase& index, std::string_view term) {
  bdb::Item item;
  const Status result = index.handle.get(bytesOf(term), item);
  if (result.code() == Status::Code::kNotFound) return {};
  if (!result.ok()) readFailed(index, result);
  if (item.size % kStoredEntrySize != 0) {
    throw ToolFailure("Dati di lunghezza errata in " + index.fileName + " per il termine " +
                      displayText(term));
  }
  return item.bytes();
}

}  // namespace

std::vector<IndexEntry> fetchEntries(ReadOnlyDatabase& index, std::string_view term) {
  return *entriesOf(storedEntries(index, term));
}

std::vector<RecordNumber> fetchRecordNumbers(ReadOnlyDatabase& index, std::string_view term) {
  const std::span<const std::uint8_t> stored = storedEntries(index, term);
  std::vector<RecordNumber> numbers;
  numbers.reserve(stored.size() / kStoredEntrySize);
  for (std::size_t at = 0; at < stored.size(); at += kStoredEntrySize) {
    // An entry starts with its record number, laid out as a record key.
    numbers.push_back(recordNumberOfKey(stored.subspan(at).first<kRecordKeySize>()));
  }
  return numbers;
}

}  // namespace indicizza::catalogo
