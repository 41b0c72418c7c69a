#include "index_store/index_database.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "base/berkeley_db.h"
#include "base/btree_page_file.h"
#include "base/btree_pages.h"
#include "base/console.h"
#include "base/hand_off.h"
#include "base/interruption.h"
#include "base/item_walk.h"
#include "base/large_memory.h"
#include "base/page_item_walk.h"
#include "base/shadow_file.h"
#include "index_store/index_changes.h"
#include "index_store/index_proof.h"
#include "records/data_database.h"

namespace indicizza {
namespace {

// Size of one bulk put of terms and their arrays; a longer array gets a put
// of its own.
constexpr std::size_t kTermPutBytes = std::size_t{2} << 20;

// How many bulk puts may be gathered ahead of the puts.
constexpr std::size_t kTermPutBlocksAhead = 3;

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

Status tryCheckIndexDatabase(const std::filesystem::path& path, IndexDatabaseStart& start) {
  start.reset();
  const std::filesystem::path target = linkTarget(path);
  removeLeftoverShadow(target);
  const Status checked = checkBtreeFile(target, &start);
  // Not there (a dangling symbolic link included): the write phase creates it.
  if (checked.code() == Status::Code::kCannotOpen && checked.error() == ENOENT) return {};
  if (!checked.ok()) return checked;
  if (access(target.c_str(), W_OK) != 0)
    return Status::systemFailure(Status::Code::kCannotOpen, errno);
  return {};
}

IndexDatabaseStart checkIndexDatabase(const std::filesystem::path& path) {
  IndexDatabaseStart start;
  switch (tryCheckIndexDatabase(path, start).code()) {
    case Status::Code::kOk: return start;
    case Status::Code::kEncrypted:
      noteLine(encryptedFileSentence(path.filename().string()));
      fatalStop(kIndexDatabaseOpenFailed);
    case Status::Code::kForeign:
    case Status::Code::kDamaged: fatalStop(kIndexDatabaseDamaged);
    default: fatalStop(kIndexDatabaseOpenFailed);
  }
}

void refuseIndexThatIsTheData(const std::filesystem::path& data,
                              const std::filesystem::path& index) {
  std::error_code notBoth;
  if (std::filesystem::equivalent(data, index, notBoth)) fatalStop(kIndexDatabaseOpenFailed);
}

IndexDatabaseTarget findIndexDatabase(const std::filesystem::path& path) {
  IndexDatabaseTarget found;
  found.target = linkTarget(path);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(found.target, error))) {
    found.access = Status::failure(Status::Code::kNotFound);
  } else if (access(found.target.c_str(), W_OK) != 0) {
    found.access = Status::systemFailure(Status::Code::kCannotOpen, errno);
  }
  return found;
}

Status tryOpenIndexDatabase(const IndexDatabaseTarget& target, const IndexDatabaseStart& start,
                            IndexDatabase& database, IndexWriting writing) {
  const bool there = target.access.code() != Status::Code::kNotFound;
  if (there != start.has_value()) return Status::failure(Status::Code::kReplaced);
  if (!there) {
    database.shadow = ShadowFile::toCreate(target.target);
  } else if (!target.access.ok()) {
    return target.access;
  } else {
    Status opened = database.earlier.open(target.target.c_str(), bdb::OpenMode::kReadOnly);
    // Only the file whose pages were checked is read.
    if (opened.ok() && database.earlier.fileIdentity() != start)
      opened = Status::failure(Status::Code::kReplaced);
    if (opened.ok()) opened = ShadowFile::toRewrite(target.target, *start, database.shadow);
    if (!opened.ok()) return opened;
  }
  Status created =
      writing == IndexWriting::kPages
          ? createPageFile(database.shadow.path(), database.pages)
          : database.handle.open(database.shadow.path().c_str(), bdb::OpenMode::kCreateNew);
  // Beside a file that may be written, a new one that can't be made is a
  // working copy that can't be made (a folder that may not be written).
  if (created.code() == Status::Code::kCannotOpen && target.access.ok())
    created = Status::failure(Status::Code::kWriteFailed);
  return created;
}

namespace {

// One bulk put of terms and their arrays, and of the items of earlier runs
// between them; how many terms of this run and how many bytes it holds.
struct TermBlock {
  bdb::BulkPairs pairs{kTermPutBytes};
  std::size_t terms = 0;
  std::size_t bytes = 0;
};

// The items of the earlier file, when it is open, in key order: read from
// its pages (`fromPages`), or through the library for the library's
// writing, the reference the pages are held to. Must not outlive `earlier`.
class EarlierItems {
 public:
  EarlierItems(bdb::Database& earlier, bool fromPages) {
    if (earlier.isOpen() && fromPages) {
      pages_.emplace(earlier.fileDescriptor(), earlier.fileSize());
    } else if (earlier.isOpen()) {
      library_.emplace(earlier);
    }
  }
  // As ItemWalk::next; false at once when there is no earlier file.
  bool next(bdb::Item& key, bdb::Item& data) {
    return pages_ ? pages_->next(key, data) : library_ && library_->next(key, data);
  }
  // As ItemWalk::status; kEmpty when there is no earlier file.
  Status status() const {
    if (pages_) return pages_->status();
    return library_ ? library_->status() : Status::failure(Status::Code::kEmpty);
  }

 private:
  std::optional<PageItemWalk> pages_;
  std::optional<ItemWalk> library_;
};

// The helper's half of the write: gathers every term of `order`, with its
// stored entries, and the items of the earlier file (when `earlier` is
// open; read from its pages when `earlierFromPages`, else through the
// library) whose keys are no term of `order`, into bulk puts for the
// phase's thread. With `changes`, an earlier item and a term of `order`
// under one key become what changeTerm makes of them, and an earlier item
// alone too when it lists a record read. Counts the terms made into
// `termsMade`. Fails with kInterrupted, as the walk of the earlier file
// does, or as `changes->carries` does.
Status gatherTerms(const TermOrder& order, bdb::Database& earlier, bool earlierFromPages,
                   const IndexChanges* changes, HandOff<TermBlock>& handOff,
                   std::uint64_t& termsMade) {
  std::unique_ptr<TermBlock> block = handOff.emptyBlock();
  if (!block) return {};
  Status status;
  // Without `changes`, the terms of `order` are those made.
  termsMade = changes ? changes->termsMadeBefore : order.size();
  const auto add = [&](std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    if (!block->pairs.add(key, data)) {
      if (!handOff.passOn(block)) return false;
      block->pairs.add(key, data);
    }
    block->bytes += key.size() + data.size();
    return true;
  };
  std::vector<std::uint8_t> data;
  // Adds the item of a term, earlier and made (either may be empty), as
  // `changes` makes it.
  const auto addChanged = [&](std::span<const std::uint8_t> key,
                              std::span<const std::uint8_t> earlierData,
                              std::span<const IndexEntry> made) {
    TermChange change;
    const std::string_view term(reinterpret_cast<const char*>(key.data()), key.size());
    status = changeTerm(term, earlierData, made, *changes, data, change);
    if (!status.ok()) return false;
    termsMade = termsMade + change.madeNow - change.madeBefore;
    return add(key, change.keep ? earlierData : std::span<const std::uint8_t>(data));
  };

  EarlierItems walk(earlier, earlierFromPages);
  bdb::Item earlierKey;
  bdb::Item earlierData;
  const auto nextEarlier = [&] { return walk.next(earlierKey, earlierData); };
  bool earlierPending = nextEarlier();
  // Puts the earlier items that sort before `key` (all that are left when
  // there is none); the walk stops at the first item after them.
  const auto carryEarlier = [&](std::optional<std::span<const std::uint8_t>> key) {
    for (; earlierPending; earlierPending = nextEarlier()) {
      if (key && !keySortsBefore(earlierKey.bytes(), *key)) return true;
      if (interruptionPending()) {
        status = Status::failure(Status::Code::kInterrupted);
        return false;
      }
      if (!(changes ? addChanged(earlierKey.bytes(), earlierData.bytes(), {})
                    : add(earlierKey.bytes(), earlierData.bytes())))
        return false;
    }
    return true;
  };

  // Each entry's stored bytes, made once for all the arrays it is in.
  LargeVector<StoredEntry> storedEntries;
  if (!changes) {
    storedEntries.resize(order.entries().size());
    std::ranges::transform(order.entries(), storedEntries.begin(), storedEntryOf);
  }
  std::vector<IndexEntry> made;
  // Adds the item of a term of `order` whose entries are `numbers`; with
  // `changes`, as changeTerm makes it of that array and the earlier one.
  const auto addMade = [&](std::span<const std::uint8_t> key,
                           std::span<const std::uint32_t> numbers,
                           std::span<const std::uint8_t> earlierData) {
    if (changes) {
      made.clear();
      for (const std::uint32_t number : numbers) made.push_back(order.entries()[number]);
      return addChanged(key, earlierData, made);
    }
    // `data` only grows, so its bytes are not cleared for each array.
    const std::size_t bytes = numbers.size() * kStoredEntrySize;
    if (data.size() < bytes) data.resize(bytes);
    std::uint8_t* to = data.data();
    for (const std::uint32_t number : numbers) {
      std::memcpy(to, storedEntries[number].data(), kStoredEntrySize);
      to += kStoredEntrySize;
    }
    if (!add(key, std::span<const std::uint8_t>(data).first(bytes))) return false;
    ++block->terms;
    return true;
  };

  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    const std::string_view term = order.term(rank);
    const std::span<const std::uint8_t> key(reinterpret_cast<const std::uint8_t*>(term.data()),
                                            term.size());
    if (!carryEarlier(key)) return status;
    // The earlier item of this term, if any, gives way to this run's (made
    // from both, for `changes`).
    const bool hadTerm = earlierPending && std::ranges::equal(earlierKey.bytes(), key);
    if (!addMade(key, order.entryNumbers(rank),
                 hadTerm ? earlierData.bytes() : std::span<const std::uint8_t>()))
      return status;
    if (hadTerm) earlierPending = nextEarlier();
  }
  if (!carryEarlier(std::nullopt)) return status;
  if (walk.status().code() != Status::Code::kEmpty) status = walk.status();
  if (status.ok() && block->pairs.count() > 0) handOff.push(std::move(block));
  return status;
}

}  // namespace

Status tryPutTerms(IndexDatabase& database, const TermOrder& index,
                   const std::function<void(std::size_t terms)>& stored,
                   const IndexChanges* changes, std::uint64_t* termsMade) {
  HandOff<TermBlock> handOff(kTermPutBlocksAhead);
  std::uint64_t made = 0;
  HelperThread<TermBlock> helper(handOff, [&] {
    return gatherTerms(index, database.earlier, database.pages.isOpen(), changes, handOff, made);
  });
  std::size_t bytesSinceWriteback = 0;
  while (std::unique_ptr<TermBlock> block = handOff.pop()) {
    if (interruptionPending()) return Status::failure(Status::Code::kInterrupted);
    Status put = putPairs(database.pages, database.handle, block->pairs);
    block->pairs.clear();
    if (!put.ok()) return put;
    bytesSinceWriteback += std::exchange(block->bytes, 0);
    if (bytesSinceWriteback >= kWritebackEveryBytes) {
      startWriteback(database.pages, database.handle);
      bytesSinceWriteback = 0;
    }
    if (stored) stored(std::exchange(block->terms, 0));
    handOff.giveBack(std::move(block));
  }
  const Status gathered = helper.finish();
  if (termsMade) *termsMade = made;
  return gathered;
}

Status tryCommitIndexDatabase(IndexDatabase& database, const std::optional<IndexProof>& proof) {
  Status committed = closeWorkingCopy(database.pages, database.handle);
  if (committed.ok() && proof) {
    // The copy's bytes are final: its identity is the one it keeps in place.
    IndexProof kept = *proof;
    if (const auto identity = identityOf(database.shadow.path())) {
      kept.index = *identity;
      writeIndexProof(database.shadow.path(), kept);
    }
  }
  if (committed.ok()) committed = database.shadow.commit();
  return committed;
}

namespace {

void stopOnFailedOpen(const Status& opened) {
  switch (opened.code()) {
    case Status::Code::kOk: return;
    case Status::Code::kReplaced: fatalStop(kIndexDatabaseReplaced);
    case Status::Code::kNoHandle: fatalStop("db_create error");
    case Status::Code::kWriteFailed: fatalStop("Errore copia opere.idb");
    default: fatalStop(kIndexDatabaseOpenFailed);
  }
}

void stopOnFailedPut(const Status& put) {
  switch (put.code()) {
    case Status::Code::kOk: return;
    case Status::Code::kInterrupted: stopIfInterrupted(); return;
    case Status::Code::kDamaged: fatalStop(kIndexDatabaseDamaged);
    case Status::Code::kReadFailed:
    case Status::Code::kNoHandle: fatalStop("Errore copia opere.idb");
    default: fatalStop("put error");
  }
}

}  // namespace

void writeIndex(const WordIndex& index, const IndexDatabaseStart& start,
                const IndexedDataReady& ready, const IndexChanges* changes,
                const std::filesystem::path& path) {
  IndexDatabase database;
  ProgressCounter dots(kWriteDotEvery);
  std::uint64_t termsMade = 0;
  IndexedData indexed;
  bool reported = false;
  const auto report = [&] {
    if (ready.wait) indexed = ready.wait();
    reportLine("Creazione db indice");
    reported = true;
  };
  std::optional<TermOrder> order;
  try {
    order.emplace(index.inTermOrder());
  } catch (...) {
    report();
    throw;
  }
  // The terms put before the report, dotted with it.
  std::size_t silentTerms = 0;
  const auto stored = [&](std::size_t terms) {
    silentTerms += terms;
    if (!reported && (!ready.done || ready.done())) report();
    if (reported) dots.tick(std::exchange(silentTerms, 0));
  };
  const Status opened = tryOpenIndexDatabase(findIndexDatabase(path), start, database);
  Status put = opened;
  if (opened.ok()) put = tryPutTerms(database, *order, stored, changes, &termsMade);
  if (!reported) report();
  stopOnFailedOpen(opened);
  stopOnFailedPut(put);
  dots.tick(changes ? termsMade : silentTerms);
  std::optional<IndexProof> proof;
  if (indexed.data)
    proof = IndexProof{*indexed.data, {}, indexed.records, termsMade, indexed.termRules};
  const Status committed = tryCommitIndexDatabase(database, proof);
  if (committed.code() == Status::Code::kReplaced) fatalStop(kIndexDatabaseReplaced);
  if (!committed.ok()) fatalStop("Errore chiusura opere.idb");
  reportLine("");
}

}  // namespace indicizza
