#include "records/berkeley_db.h"

#include <stdexcept>

namespace indicizza::bdb {
namespace {

// A descriptor cleared to all zeros (no flags), pointing at `bytes`.
DBT makeDbt(std::span<const std::uint8_t> bytes) {
  DBT dbt{};
  dbt.data = const_cast<std::uint8_t*>(bytes.data());
  dbt.size = static_cast<std::uint32_t>(bytes.size());
  return dbt;
}

std::uint32_t openFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kExisting: return 0;
    case OpenMode::kCreate: return DB_CREATE;
    case OpenMode::kCreateNew: return DB_CREATE | DB_EXCL;
    case OpenMode::kReadOnly: return DB_RDONLY;
  }
  return 0;
}

}  // namespace

std::string errorText(int code) { return db_strerror(code); }

Database::~Database() {
  if (db_) db_->close(db_, 0);
}

int Database::create() {
  if (db_) throw std::logic_error("database handle created twice");
  return db_create(&db_, nullptr, 0);
}

int Database::open(const char* path, OpenMode mode, int fileMode) {
  if (!db_ || opened_) throw std::logic_error("database handle opened twice or not created");
  opened_ = true;
  return db_->open(db_, nullptr, path, nullptr, DB_BTREE, openFlags(mode), fileMode);
}

int Database::put(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
  DBT keyDbt = makeDbt(key);
  DBT dataDbt = makeDbt(data);
  return db_->put(db_, nullptr, &keyDbt, &dataDbt, 0);
}

int Database::get(std::span<const std::uint8_t> key, Item& data) {
  DBT keyDbt = makeDbt(key);
  DBT dataDbt{};
  const int result = db_->get(db_, nullptr, &keyDbt, &dataDbt, 0);
  if (result == 0) data = {static_cast<const std::uint8_t*>(dataDbt.data), dataDbt.size};
  return result;
}

int Database::openCursor(Cursor& cursor) {
  if (cursor.cursor_) throw std::logic_error("cursor opened twice");
  return db_->cursor(db_, nullptr, &cursor.cursor_, 0);
}

int Database::close() {
  DB* db = db_;
  db_ = nullptr;
  return db ? db->close(db, 0) : 0;
}

Cursor::~Cursor() { close(); }

int Cursor::get(Item& key, Item& data, std::uint32_t flags) {
  DBT keyDbt{};
  DBT dataDbt{};
  const int result = cursor_->get(cursor_, &keyDbt, &dataDbt, flags);
  if (result == 0) {
    key = {static_cast<const std::uint8_t*>(keyDbt.data), keyDbt.size};
    data = {static_cast<const std::uint8_t*>(dataDbt.data), dataDbt.size};
  }
  return result;
}

int Cursor::close() {
  DBC* cursor = cursor_;
  cursor_ = nullptr;
  return cursor ? cursor->close(cursor) : 0;
}

}  // namespace indicizza::bdb
