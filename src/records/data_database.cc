#include "records/data_database.h"

#include <unistd.h>

#include <cerrno>

#include "base/console.h"
#include "base/quiet_thread.h"

namespace indicizza {

RecordKey recordKeyOf(RecordNumber number) {
  const auto bits = static_cast<std::uint32_t>(number);
  RecordKey key;
  for (std::size_t i = 0; i < kRecordKeySize; ++i)
    key[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return key;
}

namespace {

constexpr const char* kOpenFailed = "opere.ddb open error";

}  // namespace

Status tryOpenDataDatabase(const std::filesystem::path& path, DataDatabase& database,
                           DataWriting writing) {
  database.target = linkTarget(path);
  database.writing = writing;
  removeLeftoverShadow(database.target);
  if (access(database.target.c_str(), W_OK) != 0)
    return Status::systemFailure(Status::Code::kCannotOpen, errno);
  database.copying = std::make_unique<ShadowCopyInProgress>(database.target);
  return {};
}

DataDatabase openDataDatabase(const std::filesystem::path& path) {
  DataDatabase database;
  if (!tryOpenDataDatabase(path, database).ok()) fatalStop(kOpenFailed);
  return database;
}

Status tryReadyForLoad(DataDatabase& database) {
  if (!database.copying) return {};
  Status status = database.copying->finish(database.shadow);
  database.copying.reset();
  if (!status.ok()) return status;
  if (database.writing == DataWriting::kPages) {
    if (const auto pageSize = emptyTreePageSize(database.shadow.path())) {
      Status opened = rewritePageFile(database.shadow.path(), *pageSize, database.pages);
      // A copy just made that can't be written again: as a copy that can't be made.
      if (!opened.ok()) return Status::systemFailure(Status::Code::kWriteFailed, opened.error());
      return opened;
    }
  }
  return database.handle.open(database.shadow.path().c_str(), bdb::OpenMode::kExisting);
}

bool copiedFromIndexed(const DataDatabase& database) {
  return database.handle.isOpen() && database.indexedFrom &&
         database.shadow.startedFrom() == database.indexedFrom;
}

void stopOnUnreadyCopy(const Status& status) {
  switch (status.code()) {
    case Status::Code::kNoHandle: fatalStop("db_create error");
    case Status::Code::kDamaged: fatalStop("Errore lettura opere.ddb");
    case Status::Code::kEncrypted:
      noteLine(encryptedFileSentence(kDataDatabaseFileName));
      fatalStop(kOpenFailed);
    case Status::Code::kWriteFailed: fatalStop("Errore copia opere.ddb");
    default: fatalStop(kOpenFailed);
  }
}

void readyForLoad(DataDatabase& database) {
  const Status ready = tryReadyForLoad(database);
  if (!ready.ok()) stopOnUnreadyCopy(ready);
}

Status tryStoreRecords(DataDatabase& database, bdb::BulkPairs& records) {
  return putPairs(database.pages, database.handle, records);
}

Status tryNoteEarlierVersions(DataDatabase& database, const bdb::BulkPairs& records,
                              EarlierVersions& earlier) {
  Status status;
  bdb::Item data;
  records.forEachPair([&](std::span<const std::uint8_t> key, std::span<const std::uint8_t>) {
    earlier.keys.push_back(RecordKey{key[0], key[1], key[2], key[3]});
    status = database.handle.get(key, data);
    if (status.code() == Status::Code::kNotFound) {
      ++earlier.added;
      return (status = {}).ok();
    }
    // What this program stored is always a whole record.
    if (!status.ok() || data.bytes().size() != kStoredRecordSize) {
      status = Status::failure(Status::Code::kDamaged);
      return false;
    }
    earlier.replaced.insert(earlier.replaced.end(), data.bytes().begin(), data.bytes().end());
    return true;
  });
  return status;
}

Status tryCloseDataDatabase(DataDatabase& database) {
  Status closed = closeWorkingCopy(database.pages, database.handle);
  // The copy's bytes are final: its size and modification time are those it
  // will have in opere.ddb's place.
  if (closed.ok()) database.committed = identityOf(database.shadow.path());
  if (closed.ok()) closed = database.shadow.commit();
  return closed;
}

namespace {

void stopOnFailedClose(const Status& closed) {
  if (closed.code() == Status::Code::kReplaced) fatalStop(kDataDatabaseReplaced);
  if (!closed.ok()) fatalStop("Errore chiusura opere.ddb");
}

}  // namespace

void closeDataDatabase(DataDatabase& database) {
  stopOnFailedClose(tryCloseDataDatabase(database));
}

DataDatabaseClosing::DataDatabaseClosing(DataDatabase& database)
    : thread_(startQuietThread([this, &database] {
        closed_ = tryCloseDataDatabase(database);
        done_.store(true, std::memory_order_release);
      })) {}

DataDatabaseClosing::~DataDatabaseClosing() {
  if (thread_.joinable()) thread_.join();
}

void DataDatabaseClosing::finish() {
  if (thread_.joinable()) thread_.join();
  stopOnFailedClose(closed_);
}

}  // namespace indicizza
