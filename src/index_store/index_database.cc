#include "index_store/index_database.h"

#include <unistd.h>

#include <system_error>
#include <vector>

#include "base/berkeley_db.h"
#include "base/console.h"
#include "base/interruption.h"
#include "base/shadow_file.h"
#include "records/data_database.h"

namespace indicizza {
namespace {

// Size of one bulk put of terms and their arrays; a longer array gets a put
// of its own.
constexpr std::size_t kBulkPutBytes = std::size_t{2} << 20;

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

void checkIndexDatabase(const std::filesystem::path& path) {
  const std::filesystem::path target = linkTarget(path);
  removeLeftoverShadow(target);
  // A file that can't be read is left to the write phase, which says so.
  const auto state = checkBtreeFile(target);
  if (state && *state != BtreeFileState::kSound) fatalStop(kIndexDatabaseDamaged);
}

void writeIndex(const WordIndex& index, const std::filesystem::path& path) {
  reportLine("Creazione db indice");
  // Terms of earlier runs that this one does not produce are kept: the
  // working copy starts as a copy of the file, when there is one.
  const std::filesystem::path target = linkTarget(path);
  ShadowFile shadow;
  bdb::OpenMode mode = bdb::OpenMode::kExisting;
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(target, error))) {
    shadow = ShadowFile::toCreate(target);
    mode = bdb::OpenMode::kCreateNew;
  } else if (access(target.c_str(), W_OK) != 0) {
    fatalStop("Open error");
  } else {
    switch (ShadowFile::copyOf(target, shadow)) {
      case ShadowCopyOutcome::kCopied: break;
      case ShadowCopyOutcome::kCannotRead:
      case ShadowCopyOutcome::kForeign:
      case ShadowCopyOutcome::kDamaged: fatalStop("Open error");
      case ShadowCopyOutcome::kCannotWrite: fatalStop("Errore copia opere.idb");
    }
  }
  bdb::Database database;
  const Status opened = database.open(shadow.path().c_str(), mode);
  if (opened.code() == Status::Code::kNoHandle) fatalStop("db_create error");
  if (!opened.ok()) fatalStop("Open error");

  // Terms are put in bulk, in term order; their write dots follow each put.
  ProgressCounter dots(kWriteDotEvery);
  bdb::BulkPairs pairs(kBulkPutBytes);
  std::size_t termsPending = 0;
  std::size_t bytesSinceWriteback = 0;
  const auto flush = [&] {
    if (!database.putBulk(pairs).ok()) fatalStop("put error");
    pairs.clear();
    if (bytesSinceWriteback >= kWritebackEveryBytes) {
      database.startWriteback();
      bytesSinceWriteback = 0;
    }
    for (; termsPending > 0; --termsPending) dots.tick();
  };
  std::vector<std::uint8_t> data;
  index.forEachTerm([&](std::string_view term, std::span<const IndexEntry> entries) {
    stopIfInterrupted();
    data.clear();
    for (const IndexEntry& entry : entries) {
      const StoredEntry stored = storedEntryOf(entry);
      data.insert(data.end(), stored.begin(), stored.end());
    }
    const std::span<const std::uint8_t> key(reinterpret_cast<const std::uint8_t*>(term.data()),
                                            term.size());
    if (!pairs.add(key, data)) {
      flush();
      pairs.add(key, data);
    }
    ++termsPending;
    bytesSinceWriteback += key.size() + data.size();
  });
  flush();

  if (!database.close().ok() || !shadow.commit()) fatalStop("Errore chiusura opere.idb");
  reportLine("");
}

}  // namespace indicizza
