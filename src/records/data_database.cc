#include "records/data_database.h"

#include <unistd.h>

#include <cerrno>

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
constexpr const char* kCloseFailed = "Errore chiusura opere.ddb";

// Opens `path` on a new handle of `database`.
Status openHandle(DataDatabase& database, const std::filesystem::path& path, bdb::OpenMode mode) {
  database.handle = bdb::Database();
  return database.handle.open(path.c_str(), mode);
}

// The fatal stop of a handle that could not be opened (anew).
[[noreturn]] void stopOnOpen(const Status& status) {
  fatalStop(status.code() == Status::Code::kNoHandle ? "db_create error" : kOpenFailed);
}

}  // namespace

Status tryOpenDataDatabase(const std::filesystem::path& path, DataDatabase& database) {
  database.target = linkTarget(path);
  removeLeftoverShadow(database.target);
  // The run replaces the file rather than writing it, so the file's own
  // permission is asked for here.
  if (access(database.target.c_str(), W_OK) != 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  Status status = ShadowFile::copyOf(database.target, database.shadow);
  if (!status.ok()) return status;
  return openHandle(database, database.shadow.path(), bdb::OpenMode::kExisting);
}

DataDatabase openDataDatabase(const std::filesystem::path& path) {
  DataDatabase database;
  const Status opened = tryOpenDataDatabase(path, database);
  switch (opened.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kDamaged: fatalStop("Errore lettura opere.ddb");
    case Status::Code::kWriteFailed: fatalStop("Errore copia opere.ddb");
    default: stopOnOpen(opened);
  }
  return database;
}

Status tryStoreRecords(DataDatabase& database, bdb::BulkPairs& records) {
  Status stored = database.handle.putBulk(records);
  records.clear();
  return stored;
}

Status tryCommitDataDatabase(DataDatabase& database) {
  Status status = database.handle.close();
  if (status.ok()) status = database.shadow.commit();
  if (!status.ok()) return status;
  return openHandle(database, database.target, bdb::OpenMode::kReadOnly);
}

void commitDataDatabase(DataDatabase& database) {
  const Status committed = tryCommitDataDatabase(database);
  if (committed.code() == Status::Code::kWriteFailed) fatalStop(kCloseFailed);
  if (!committed.ok()) stopOnOpen(committed);
}

Status tryCloseDataDatabase(DataDatabase& database) {
  return database.handle.isOpen() ? database.handle.close() : Status();
}

void closeDataDatabase(DataDatabase& database) {
  if (!tryCloseDataDatabase(database).ok()) fatalStop(kCloseFailed);
}

}  // namespace indicizza
