#include "base/berkeley_db.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "base/library_lines.h"
#include "base/regular_file.h"

namespace indicizza::bdb {
namespace {

// The one callback of every handle for the library's error lines and its
// other messages: both go where library_lines.h sends them, never straight
// to standard error or standard output. No prefix is ever set.
extern "C" void passOnError(const DB_ENV*, const char*, const char* line) {
  deliverLibraryLine(line ? line : "");
}
extern "C" void passOnMessage(const DB_ENV*, const char* line) {
  deliverLibraryLine(line ? line : "");
}

// Whether the last open the library made on this thread was refused by
// openOnlyRegular (each thread opens its own handles).
thread_local bool refusedNotRegular = false;

// The open the library makes of every file, in place of its own: the check
// that the file is a regular one and the open are one step
// (openRegularFile), so a named pipe or a device put in a database's place
// is refused at once, never waited on nor read, whenever the library opens
// it. A refusal fails with EINVAL, and is noted for Database::open.
extern "C" int openOnlyRegular(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  int fd = -1;
  const Status opened = openRegularFile(path, flags, fd, mode);
  if (opened.ok()) return fd;
  refusedNotRegular = opened.code() == Status::Code::kNotRegular;
  errno = refusedNotRegular ? EINVAL : opened.error();
  return -1;
}

// Puts openOnlyRegular in the library's place, once, before the first handle.
void installRegularOpen() {
  static std::once_flag installed;
  std::call_once(installed, [] { db_env_set_func_open(openOnlyRegular); });
}

// The library's pause (its sleep of `seconds` and `microseconds`), cut to
// a millisecond; a pause of nothing gives up the processor, as the library's
// own does.
extern "C" int pauseAtMostBriefly(u_long seconds, u_long microseconds) {
  constexpr u_long kLongestPauseMicroseconds = 1000;
  const u_long pause =
      seconds > 0 ? kLongestPauseMicroseconds : std::min(microseconds, kLongestPauseMicroseconds);
  if (pause == 0) {
    sched_yield();
    return 0;
  }
  const timespec wait{0, static_cast<long>(pause) * 1000};
  nanosleep(&wait, nullptr);
  return 0;
}

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
    // The file is already there, empty (for kCreateNew, made by
    // createEmptyFile()): the library makes the database in it in place.
    case OpenMode::kCreateNew:
    case OpenMode::kFillEmpty: return DB_CREATE | DB_TRUNCATE;
    case OpenMode::kReadOnly: return DB_RDONLY;
  }
  return 0;
}

constexpr std::size_t kWordSize = sizeof(std::uint32_t);
// A bulk get buffer's size must be a multiple of this, and no smaller than
// the database's page size, of which this is the largest the library allows.
constexpr std::size_t kBulkGetGranule = 1024;
constexpr std::size_t kLargestPageSize = 64 * 1024;

// Points `dbt` at `buffer` as user memory of its whole size.
void attachBuffer(DBT& dbt, std::vector<std::uint32_t>& buffer, std::uint32_t extraFlags) {
  dbt = DBT{};
  dbt.data = buffer.data();
  dbt.ulen = static_cast<std::uint32_t>(buffer.size() * kWordSize);
  dbt.flags = DB_DBT_USERMEM | extraFlags;
}

std::size_t wordsFor(std::size_t bytes, std::size_t granule) {
  const std::size_t rounded = (bytes + granule - 1) / granule * granule;
  return rounded / kWordSize;
}

// Creates `path` empty, failing when it exists (O_EXCL), for kCreateNew.
// Left to itself, the library would create the file under a temporary name
// of its own beside it (__db.NAME) and then rename it: a process killed
// between the two leaves that name behind, and every later create of NAME
// waits on it for 100 seconds and then fails. Made here, the file never has
// another name, and O_EXCL keeps DB_TRUNCATE away from a file that existed.
Status createEmptyFile(const char* path) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  close(fd);
  return {};
}

}  // namespace

BulkPairs::BulkPairs(std::size_t capacity) : buffer_(wordsFor(capacity, kWordSize)) { clear(); }

void BulkPairs::forEachPair(const std::function<bool(std::span<const std::uint8_t>,
                                                     std::span<const std::uint8_t>)>& visit) const {
  DBT batch = dbt_;
  void* pointer = nullptr;
  DB_MULTIPLE_INIT(pointer, &batch);
  for (std::size_t i = 0; i < count_; ++i) {
    void* keyBytes = nullptr;
    void* dataBytes = nullptr;
    std::uint32_t keySize = 0;
    std::uint32_t dataSize = 0;
    DB_MULTIPLE_KEY_NEXT(pointer, &batch, keyBytes, keySize, dataBytes, dataSize);
    if (pointer == nullptr) return;
    if (!visit({static_cast<const std::uint8_t*>(keyBytes), keySize},
               {static_cast<const std::uint8_t*>(dataBytes), dataSize}))
      return;
  }
}

void BulkPairs::clear() {
  attachBuffer(dbt_, buffer_, 0);
  DB_MULTIPLE_WRITE_INIT(writePointer_, &dbt_);
  count_ = 0;
}

bool BulkPairs::add(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
  void* pointer = writePointer_;
  DB_MULTIPLE_KEY_WRITE_NEXT(pointer, &dbt_, key.data(), key.size(), data.data(), data.size());
  if (pointer == nullptr) {
    if (count_ != 0) return false;
    // Room for the pair, its four offset words and the end marker.
    const std::size_t needed = key.size() + data.size() + 6 * kWordSize;
    buffer_.assign(wordsFor(needed, kWordSize), 0);
    clear();
    pointer = writePointer_;
    DB_MULTIPLE_KEY_WRITE_NEXT(pointer, &dbt_, key.data(), key.size(), data.data(), data.size());
    if (pointer == nullptr) throw std::logic_error("bulk put buffer sized too small");
  }
  writePointer_ = pointer;
  ++count_;
  return true;
}

BulkItems::BulkItems(std::size_t capacity)
    : buffer_(wordsFor(std::max(capacity, kLargestPageSize), kBulkGetGranule)) {
  attachBuffer(dbt_, buffer_, 0);
}

bool BulkItems::next(Item& key, Item& data) {
  if (readPointer_ == nullptr) return false;
  std::uint8_t* keyBytes = nullptr;
  std::uint8_t* dataBytes = nullptr;
  std::uint32_t keySize = 0;
  std::uint32_t dataSize = 0;
  DB_MULTIPLE_KEY_NEXT(readPointer_, &dbt_, keyBytes, keySize, dataBytes, dataSize);
  if (readPointer_ == nullptr) return false;
  key = {keyBytes, keySize};
  data = {dataBytes, dataSize};
  return true;
}

void pauseBriefly() { db_env_set_func_yield(pauseAtMostBriefly); }

Status statusOf(int result, Status::Code code) {
  if (result == 0) return {};
  if (result == DB_NOTFOUND) return Status::failure(Status::Code::kNotFound);
  return Status::libraryFailure(code, result, db_strerror(result));
}

Database::~Database() {
  if (db_) db_->close(db_, DB_NOSYNC);
}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    if (db_) db_->close(db_, DB_NOSYNC);
    db_ = std::exchange(other.db_, nullptr);
    opened_ = other.opened_;
  }
  return *this;
}

Status Database::open(const char* path, OpenMode mode) {
  if (db_ || opened_) throw std::logic_error("database handle opened twice");
  opened_ = true;
  installRegularOpen();
  const int created = db_create(&db_, nullptr, 0);
  if (created != 0) {
    db_ = nullptr;
    return statusOf(created, Status::Code::kNoHandle);
  }
  // A new handle writes the library's lines to standard error itself until
  // it is given a callback.
  db_->set_errcall(db_, passOnError);
  db_->set_msgcall(db_, passOnMessage);
  if (mode == OpenMode::kCreateNew) {
    const Status made = createEmptyFile(path);
    if (!made.ok()) return made;
  }
  refusedNotRegular = false;
  Status opened =
      statusOf(db_->open(db_, nullptr, path, nullptr, DB_BTREE, openFlags(mode), kNewFileMode),
               Status::Code::kCannotOpen);
  if (!opened.ok() && refusedNotRegular) opened = Status::failure(Status::Code::kNotRegular);
  if (!opened.ok() && mode == OpenMode::kCreateNew) unlink(path);
  return opened;
}

Status Database::putBulk(BulkPairs& pairs) {
  if (pairs.count() == 0) return {};
  DBT unused{};
  return statusOf(db_->put(db_, nullptr, &pairs.dbt_, &unused, DB_MULTIPLE_KEY),
                  Status::Code::kWriteFailed);
}

Status Database::get(std::span<const std::uint8_t> key, Item& data) {
  DBT keyDbt = makeDbt(key);
  DBT dataDbt{};
  const int result = db_->get(db_, nullptr, &keyDbt, &dataDbt, 0);
  if (result == 0) data = {static_cast<const std::uint8_t*>(dataDbt.data), dataDbt.size};
  return statusOf(result, Status::Code::kReadFailed);
}

Status Database::dataLength(std::span<const std::uint8_t> key, std::size_t& length) {
  DBT keyDbt = makeDbt(key);
  // A buffer of the caller's with no room: the library says how much the
  // data needs (DB_BUFFER_SMALL) without reading it.
  DBT dataDbt{};
  dataDbt.flags = DB_DBT_USERMEM;
  dataDbt.ulen = 0;
  const int result = db_->get(db_, nullptr, &keyDbt, &dataDbt, 0);
  length = dataDbt.size;
  return statusOf(result == DB_BUFFER_SMALL ? 0 : result, Status::Code::kReadFailed);
}

void Database::startWriteback() {
  int fd = -1;
  if (db_->fd(db_, &fd) == 0) sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

Status Database::openCursor(Cursor& cursor) {
  if (cursor.cursor_) throw std::logic_error("cursor opened twice");
  return statusOf(db_->cursor(db_, nullptr, &cursor.cursor_, 0), Status::Code::kNoHandle);
}

Status Database::close() {
  DB* db = db_;
  db_ = nullptr;
  return statusOf(db ? db->close(db, 0) : 0, Status::Code::kWriteFailed);
}

std::optional<FileIdentity> Database::fileIdentity() const {
  int fd = -1;
  if (!db_ || db_->fd(db_, &fd) != 0) return std::nullopt;
  return identityOfOpenFile(fd);
}

std::uint64_t Database::fileSize() const {
  int fd = -1;
  struct stat info;
  if (!db_ || db_->fd(db_, &fd) != 0 || fstat(fd, &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

int Database::fileDescriptor() const {
  int fd = -1;
  if (!db_ || db_->fd(db_, &fd) != 0) return -1;
  return fd;
}

Cursor::~Cursor() {
  if (cursor_) cursor_->close(cursor_);
}

Status Cursor::get(Item& key, Item& data, std::uint32_t flags) {
  DBT keyDbt{};
  DBT dataDbt{};
  const int result = cursor_->get(cursor_, &keyDbt, &dataDbt, flags);
  if (result == 0) {
    key = {static_cast<const std::uint8_t*>(keyDbt.data), keyDbt.size};
    data = {static_cast<const std::uint8_t*>(dataDbt.data), dataDbt.size};
  }
  return statusOf(result, Status::Code::kReadFailed);
}

Status Cursor::getBulk(BulkItems& items, std::uint32_t flags) {
  items.readPointer_ = nullptr;
  DBT keyDbt{};
  for (;;) {
    const int result = cursor_->get(cursor_, &keyDbt, &items.dbt_, flags | DB_MULTIPLE_KEY);
    if (result == DB_BUFFER_SMALL && items.dbt_.size > items.dbt_.ulen) {
      items.buffer_.assign(wordsFor(items.dbt_.size, kBulkGetGranule), 0);
      attachBuffer(items.dbt_, items.buffer_, 0);
      continue;
    }
    if (result == 0) DB_MULTIPLE_INIT(items.readPointer_, &items.dbt_);
    return statusOf(result, Status::Code::kReadFailed);
  }
}

Status Cursor::seekKey(std::span<const std::uint8_t> key, Item& found) {
  DBT keyDbt = makeDbt(key);
  // A zero-length partial read: the library fetches no data.
  DBT dataDbt{};
  dataDbt.flags = DB_DBT_PARTIAL;
  const int result = cursor_->get(cursor_, &keyDbt, &dataDbt, DB_SET_RANGE);
  if (result == 0) found = {static_cast<const std::uint8_t*>(keyDbt.data), keyDbt.size};
  return statusOf(result, Status::Code::kReadFailed);
}

Status Cursor::nextKey(Item& found) {
  DBT keyDbt{};
  DBT dataDbt{};
  dataDbt.flags = DB_DBT_PARTIAL;
  const int result = cursor_->get(cursor_, &keyDbt, &dataDbt, DB_NEXT);
  if (result == 0) found = {static_cast<const std::uint8_t*>(keyDbt.data), keyDbt.size};
  return statusOf(result, Status::Code::kReadFailed);
}

Status Cursor::close() {
  DBC* cursor = cursor_;
  cursor_ = nullptr;
  return statusOf(cursor ? cursor->close(cursor) : 0, Status::Code::kReadFailed);
}

}  // namespace indicizza::bdb
