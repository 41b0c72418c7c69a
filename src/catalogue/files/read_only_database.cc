#include "catalogue/files/read_only_database.h"

#include <cerrno>
#include <filesystem>

#include "base/btree_pages.h"
#include "catalogue/text/terminal_text.h"
#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza {

Status readFailure(const ReadOnlyDatabase& database, const Status& cause) {
  std::string message = "Errore lettura " + database.fileName;
  if (!cause.text().empty()) message += ": " + cause.text();
  return Status::described(Status::Code::kReadFailed, std::move(message));
}

Status damageFailure(const ReadOnlyDatabase& database) {
  return Status::described(Status::Code::kDamaged,
                           "Errore lettura " + database.fileName + ": file danneggiato");
}

Status cursorFailure(const ReadOnlyDatabase& database) {
  return Status::described(Status::Code::kNoHandle,
                           "Errore nella creazione del cursore su " + database.fileName);
}

namespace {

Status missingFile(const std::string& fileName) {
  return Status::described(Status::Code::kCannotOpen, "File " + fileName + " indefinito");
}

// Opening a named pipe or a device would wait for a writer, or read for
// ever: only a regular file (a link to one included) is a database.
Status notRegularFile(const std::string& fileName) {
  return Status::described(Status::Code::kNotRegular,
                           "Errore apertura " + fileName + ": non è un file regolare");
}

}  // namespace

Status openReadOnly(const std::string& fileName, ReadOnlyDatabase& database) {
  database = ReadOnlyDatabase{bdb::Database(), fileName};
  std::error_code ignored;
  if (!std::filesystem::exists(std::filesystem::status(fileName, ignored)))
    return missingFile(fileName);
  // The library's open checks that the file is a regular one in the same
  // step (berkeley_db.h), so a file swapped since the look above is
  // refused, never waited on.
  const Status opened = database.handle.open(fileName.c_str(), bdb::OpenMode::kReadOnly);
  if (opened.code() == Status::Code::kNotRegular) return notRegularFile(fileName);
  if (!opened.ok()) {
    return Status::described(Status::Code::kCannotOpen,
                             "Errore apertura " + fileName + ": " + opened.text());
  }
  return {};
}

Status checkDatabasePages(const ReadOnlyDatabase& database, std::optional<FileIdentity>* checked) {
  std::optional<FileIdentity> read;
  const Status verdict = checkBtreeFile(database.fileName, &read);
  if (checked) *checked = read;
  switch (verdict.code()) {
    case Status::Code::kOk:
      // The pages read must be those of the file the handle reads.
      if (database.handle.isOpen() && database.handle.fileIdentity() != read) {
        return Status::described(Status::Code::kReplaced,
                                 database.fileName + " è cambiato mentre si leggeva: riprovare");
      }
      return {};
    case Status::Code::kNotRegular: return notRegularFile(database.fileName);
    case Status::Code::kCannotOpen:
      if (verdict.error() == ENOENT) return missingFile(database.fileName);
      return Status::described(Status::Code::kCannotOpen,
                               "Errore apertura " + database.fileName + ": " + verdict.text());
    case Status::Code::kEncrypted:
      return Status::described(Status::Code::kEncrypted, encryptedFileSentence(database.fileName));
    case Status::Code::kForeign:
    case Status::Code::kUnknownFormat:
      return Status::described(
          verdict.code(),
          database.fileName +
              " non è un database dell'indicizzatore (chiavi doppie, sotto-database o altro "
              "formato)");
    case Status::Code::kDamaged: return damageFailure(database);
    default:
      return Status::described(Status::Code::kReadFailed, "Errore lettura " + database.fileName);
  }
}

Status checkWalkEnd(const ReadOnlyDatabase& database, const Status& walk) {
  if (walk.ok() || walk.code() == Status::Code::kEmpty) return {};
  if (walk.code() == Status::Code::kNoHandle) return cursorFailure(database);
  if (walk.code() == Status::Code::kDamaged) return damageFailure(database);
  return readFailure(database, walk);
}

namespace {

// The record stored under `number`, descrambled, into `record` when its item
// is a whole stored record; `wrongLength` tells an item of another length.
// Nothing when the key is absent.
Status fetchStoredRecord(ReadOnlyDatabase& data, RecordNumber number, const ScrambleKey& key,
                         std::optional<DecodedRecord>& record, bool& wrongLength) {
  record.reset();
  wrongLength = false;
  const RecordKey recordKey = recordKeyOf(number);
  bdb::Item item;
  const Status result = data.handle.get(recordKey, item);
  if (result.code() == Status::Code::kNotFound) return {};
  if (!result.ok()) return readFailure(data, result);
  wrongLength = item.size != kStoredRecordSize;
  if (!wrongLength) record = DecodedRecord::fromScrambled(item.bytes(), key);
  return {};
}

}  // namespace

Status fetchRecord(ReadOnlyDatabase& data, RecordNumber number, const ScrambleKey& key,
                   std::optional<DecodedRecord>& record) {
  bool wrongLength = false;
  const Status fetched = fetchStoredRecord(data, number, key, record, wrongLength);
  if (!fetched.ok() || !wrongLength) return fetched;
  return Status::described(
      Status::Code::kDamaged,
      "Record di lunghezza errata in " + data.fileName + ", chiave " + std::to_string(number));
}

Status fetchWholeRecord(ReadOnlyDatabase& data, RecordNumber number, const ScrambleKey& key,
                        std::optional<DecodedRecord>& record) {
  bool wrongLength = false;
  return fetchStoredRecord(data, number, key, record, wrongLength);
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

Status fetchRecordNumbers(ReadOnlyDatabase& index, std::string_view term,
                          std::vector<RecordNumber>& numbers) {
  numbers.clear();
  bdb::Item item;
  const Status result = index.handle.get(bdb::bytesOf(term), item);
  if (result.code() == Status::Code::kNotFound) return {};
  if (!result.ok()) return readFailure(index, result);
  if (item.size % kStoredEntrySize != 0) {
    return Status::described(Status::Code::kDamaged, "Dati di lunghezza errata in " +
                                                         index.fileName + " per il termine " +
                                                         terminalTextOfLatin1(term));
  }
  const std::span<const std::uint8_t> stored = item.bytes();
  numbers.reserve(stored.size() / kStoredEntrySize);
  for (std::size_t at = 0; at < stored.size(); at += kStoredEntrySize) {
    // An entry starts with its record number, laid out as a record key.
    numbers.push_back(recordNumberOfKey(stored.subspan(at).first<kRecordKeySize>()));
  }
  return {};
}

}  // namespace indicizza
