#include "index_store/index_database.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "base/berkeley_db.h"
#include "base/console.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/shadow_file.h"
#include "records/data_database.h"

namespace indicizza {
namespace {

// Size of one bulk put of terms and their arrays; a longer array gets a put
// of its own.
constexpr std::size_t kBulkPutBytes = std::size_t{2} << 20;

// How many bulk puts may be gathered ahead of the puts.
constexpr std::size_t kPutBlocksAhead = 3;

// The file's pages are sent to the disk each time about this much more has
// been put, so that the disk works while the next terms are gathered.
constexpr std::size_t kWritebackEveryBytes = std::size_t{32} << 20;

}  // namespace

StoredEntry storedEntryOf(const IndexEntry& entry) {
  // The record number's little-endian bytes are those of its data key.
  const RecordKey number = recordKeyOf(entry.recordNumber);
  StoredEntry stored{};
  std::copy(number.begin(), number.end(), stored.begin());
  stored[kStoredKindCodeOffset] = entry.kindCode.bytes[0];
  stored[kStoredKindCodeOffset + 1] = entry.kindCode.bytes[1];
  return stored;
}

IndexEntry indexEntryOf(std::span<const std::uint8_t, kStoredEntrySize> stored) {
  // The record number's little-endian bytes are those of its data key.
  IndexEntry entry{recordNumberOfKey(stored.first<kRecordKeySize>()), {}};
  entry.kindCode.bytes[0] = stored[kStoredKindCodeOffset];
  entry.kindCode.bytes[1] = stored[kStoredKindCodeOffset + 1];
  return entry;
}

Status tryCheckIndexDatabase(const std::filesystem::path& path) {
  const std::filesystem::path target = linkTarget(path);
  removeLeftoverShadow(target);
  return checkBtreeFile(target);
}

void checkIndexDatabase(const std::filesystem::path& path) {
  const Status checked = tryCheckIndexDatabase(path);
  if (checked.code() == Status::Code::kForeign || checked.code() == Status::Code::kDamaged) {
    fatalStop(kIndexDatabaseDamaged);
  }
}

IndexDatabaseCopy startIndexCopy(const std::filesystem::path& path) {
  IndexDatabaseCopy copy;
  copy.target = linkTarget(path);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(copy.target, error))) {
    copy.access = Status::failure(Status::Code::kNotFound);
  } else if (access(copy.target.c_str(), W_OK) != 0) {
    copy.access = Status::systemFailure(Status::Code::kCannotOpen, errno);
  } else {
    copy.copying = std::make_unique<ShadowCopyInProgress>(copy.target);
  }
  return copy;
}

Status tryOpenIndexDatabase(IndexDatabaseCopy& copy, IndexDatabase& database) {
  bdb::OpenMode mode = bdb::OpenMode::kExisting;
  if (copy.access.code() == Status::Code::kNotFound) {
    database.shadow = ShadowFile::toCreate(copy.target);
    mode = bdb::OpenMode::kCreateNew;
  } else if (!copy.access.ok()) {
    return copy.access;
  } else {
    Status copied = copy.copying->finish(database.shadow);
    copy.copying.reset();
    if (!copied.ok()) return copied;
  }
  return database.handle.open(database.shadow.path().c_str(), mode);
}

namespace {

// One bulk put of terms, and how many terms and bytes it holds.
struct TermBlock {
  bdb::BulkPairs pairs{kBulkPutBytes};
  std::size_t terms = 0;
  std::size_t bytes = 0;
};

// The helper's half of the write: gathers every term of `index` in term
// order, with its stored entries, into bulk puts for the phase's thread.
// Fails with kInterrupted.
Status gatherTerms(const WordIndex& index, HandOff<TermBlock>& handOff) {
  std::unique_ptr<TermBlock> block = handOff.emptyBlock();
  if (!block) return {};
  Status status;
  std::vector<std::uint8_t> data;
  index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    if (interruptionPending()) {
      status = Status::failure(Status::Code::kInterrupted);
      return false;
    }
    data.clear();
    for (const IndexEntry& entry : entries) {
      const StoredEntry storedEntry = storedEntryOf(entry);
      data.insert(data.end(), storedEntry.begin(), storedEntry.end());
    }
    const std::span<const std::uint8_t> key(reinterpret_cast<const std::uint8_t*>(term.data()),
                                            term.size());
    if (!block->pairs.add(key, data)) {
      if (!handOff.passOn(block)) return false;
      block->pairs.add(key, data);
    }
    ++block->terms;
    block->bytes += key.size() + data.size();
    return true;
  });
  if (status.ok() && block && block->terms > 0) handOff.push(std::move(block));
  return status;
}

}  // namespace

Status tryPutTerms(IndexDatabase& database, const WordIndex& index,
                   const std::function<void(std::size_t terms)>& stored) {
  HandOff<TermBlock> handOff(kPutBlocksAhead);
  HelperThread<TermBlock> helper(handOff, [&] { return gatherTerms(index, handOff); });
  std::size_t bytesSinceWriteback = 0;
  while (std::unique_ptr<TermBlock> block = handOff.pop()) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    Status put = database.handle.putBulk(block->pairs);
    block->pairs.clear();
    if (!put.ok()) return put;
    bytesSinceWriteback += std::exchange(block->bytes, 0);
    if (bytesSinceWriteback >= kWritebackEveryBytes) {
      database.handle.startWriteback();
      bytesSinceWriteback = 0;
    }
    stored(std::exchange(block->terms, 0));
    handOff.giveBack(std::move(block));
  }
  return helper.finish();
}

Status tryCommitIndexDatabase(IndexDatabase& database) {
  Status committed = database.handle.close();
  if (committed.ok()) committed = database.shadow.commit();
  return committed;
}

void writeIndex(const WordIndex& index, IndexDatabaseCopy& copy) {
  reportLine("Creazione db indice");
  IndexDatabase database;
  const Status opened = tryOpenIndexDatabase(copy, database);
  switch (opened.code()) {
    case Status::Code::kOk: break;
    case Status::Code::kNoHandle: fatalStop("db_create error");
    case Status::Code::kWriteFailed: fatalStop("Errore copia opere.idb");
    default: fatalStop("Open error");
  }
  ProgressCounter dots(kWriteDotEvery);
  const Status put = tryPutTerms(database, index, [&](std::size_t terms) { dots.tick(terms); });
  if (put.code() == Status::Code::kInterrupted) stopIfInterrupted();
  if (!put.ok()) fatalStop("put error");
  if (!tryCommitIndexDatabase(database).ok()) fatalStop("Errore chiusura opere.idb");
  reportLine("");
}

}  // namespace indicizza
