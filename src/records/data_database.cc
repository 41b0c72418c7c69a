#include "records/data_database.h"

#include <unistd.h>

#include "base/console.h"

namespace indicizza {

RecordKey recordKeyOf(RecordNumber number) {
  const auto bits = static_cast<std::uint32_t>(number);
  RecordKey key;
  for (std::size_t i = 0; i < kRecordKeySize; ++i) key[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return key;
}

RecordNumber recordNumberOfKey(std::span<const std::uint8_t, kRecordKeySize> key) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < kRecordKeySize; ++i) bits |= std::uint32_t{key[i]} << (8 * i);
  return static_cast<RecordNumber>(bits);
}

namespace {

constexpr const char* kOpenFailed = "opere.ddb open error";

// Opens `path` on a new handle of `database`.
void openHandle(DataDatabase& database, const std::filesystem::path& path, bdb::OpenMode mode) {
  database.handle = bdb::Database();
  const Status opened = database.handle.open(path.c_str(), mode);
  if (opened.code() == Status::Code::kNoHandle) fatalStop("db_create error");
  if (!opened.ok()) fatalStop(kOpenFailed);
}

}  // namespace

DataDatabase openDataDatabase(const std::filesystem::path& path) {
  DataDatabase database;
  database.target = linkTarget(path);
  removeLeftoverShadow(database.target);
  // The run replaces the file rather than writing it, so the file's own
  // permission is asked for here.
  if (access(database.target.c_str(), W_OK) != 0) fatalStop(kOpenFailed);
  switch (ShadowFile::copyOf(database.target, database.shadow)) {
    case ShadowCopyOutcome::kCopied: break;
    case ShadowCopyOutcome::kCannotRead:
    case ShadowCopyOutcome::kForeign: fatalStop(kOpenFailed);
    case ShadowCopyOutcome::kDamaged: fatalStop("Errore lettura opere.ddb");
    case ShadowCopyOutcome::kCannotWrite: fatalStop("Errore copia opere.ddb");
  }
  openHandle(database, database.shadow.path(), bdb::OpenMode::kExisting);
  return database;
}

void storeRecords(DataDatabase& database, bdb::BulkPairs& records) {
  if (!database.handle.putBulk(records).ok()) fatalStop("put error");
  records.clear();
}

void commitDataDatabase(DataDatabase& database) {
  if (!database.handle.close().ok() || !database.shadow.commit()) {
    fatalStop("Errore chiusura opere.ddb");
  }
  openHandle(database, database.target, bdb::OpenMode::kReadOnly);
}

void closeDataDatabase(DataDatabase& database) {
  if (database.handle.isOpen() && !database.handle.close().ok()) {
    fatalStop("Errore chiusura opere.ddb");
  }
}

}  // namespace indicizza
