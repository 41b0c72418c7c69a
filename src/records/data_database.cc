#include "records/data_database.h"

#include "run/console.h"

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

DataDatabase openDataDatabase(const std::filesystem::path& path) {
  DataDatabase database;
  if (database.handle.create() != 0) fatalStop("db_create error");
  if (database.handle.open(path.c_str(), bdb::OpenMode::kExisting, kDatabaseFileMode) != 0) {
    fatalStop("opere.ddb open error");
  }
  return database;
}

void storeRecords(DataDatabase& database, bdb::BulkPairs& records) {
  if (database.handle.putBulk(records) != 0) fatalStop("put error");
  records.clear();
}

void closeDataDatabase(DataDatabase& database) {
  if (database.handle.isOpen() && database.handle.close() != 0) {
    fatalStop("Errore chiusura opere.ddb");
  }
}

}  // namespace indicizza
