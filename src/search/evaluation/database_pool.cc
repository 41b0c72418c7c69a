#include "search/evaluation/database_pool.h"

#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza {

struct DatabasePool::Pair {
  SearchDatabases databases;
  Identities identities;  // of the files when the pair was opened (or just before)
};

DatabasePool::DatabasePool(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

DatabasePool::~DatabasePool() = default;

DatabasePool::Identities DatabasePool::currentIdentities() {
  return {identityOf(kIndexDatabaseFileName), identityOf(kDataDatabaseFileName)};
}

namespace {

// How many times a pair is opened again when the files changed while it
// was being opened.
constexpr int kOpenAttempts = 3;

}  // namespace

Status DatabasePool::openPair(Identities identities, std::shared_ptr<RecordListCache> recordLists,
                              std::unique_ptr<Pair>& pair) {
  // The files are looked at before and after opening: when a run renamed a
  // new one in between, the pair may be open on either, so it is opened
  // again. After the last attempt it keeps the identities seen first: it is
  // then dropped at its next lease, and its lists go to a cache the pool
  // drops too.
  for (int attempt = 1;; ++attempt) {
    pair = std::make_unique<Pair>();
    const Status opened = openSearchDatabases(pair->databases);
    if (!opened.ok()) {
      pair.reset();
      return opened;
    }
    pair->identities = identities;
    pair->databases.recordLists = recordLists;
    const Identities after = currentIdentities();
    if (after == identities || attempt == kOpenAttempts) return {};
    identities = after;
    recordLists = std::make_shared<RecordListCache>(kRecordListBudget);
  }
}

Status DatabasePool::checkPages(const Identities& identities) {
  // A file that is not there is left to the open, which says so.
  if (!identities.index || !identities.data) return {};
  const std::lock_guard lock(checkMutex_);
  if (checked_ == identities) return verdict_;
  verdict_ = checkDatabasePages(ReadOnlyDatabase{bdb::Database(), kIndexDatabaseFileName});
  if (verdict_.ok()) {
    verdict_ = checkDatabasePages(ReadOnlyDatabase{bdb::Database(), kDataDatabaseFileName});
  }
  checked_ = identities;
  return verdict_;
}

Status DatabasePool::acquire(std::optional<Lease>& lease) {
  lease.reset();
  const Identities now = currentIdentities();
  std::shared_ptr<RecordListCache> recordLists;
  {
    const std::lock_guard lock(mutex_);
    if (seenFiles_ && now != identities_) {
      const auto changed = [&](const std::optional<FileIdentity>& before,
                               const std::optional<FileIdentity>& after, const std::string& name) {
        if (before == after) return;
        log_(after ? name + " è cambiato: le ricerche leggono il nuovo file"
                   : name + " non c'è più");
      };
      changed(identities_.index, now.index, kIndexDatabaseFileName);
      changed(identities_.data, now.data, kDataDatabaseFileName);
    }
    if (!seenFiles_ || now != identities_) {
      kept_.clear();
      if (!seenFiles_ || now.index != identities_.index) {
        recordLists_ = std::make_shared<RecordListCache>(kRecordListBudget);
      }
      identities_ = now;
      seenFiles_ = true;
    }
    if (!kept_.empty()) {
      std::unique_ptr<Pair> pair = std::move(kept_.back());
      kept_.pop_back();
      lease.emplace(Lease(*this, std::move(pair)));
      return {};
    }
    recordLists = recordLists_;
  }
  const Status checked = checkPages(now);
  if (!checked.ok()) return checked;
  std::unique_ptr<Pair> pair;
  const Status opened = openPair(now, std::move(recordLists), pair);
  if (!opened.ok()) return opened;
  lease.emplace(Lease(*this, std::move(pair)));
  return {};
}

void DatabasePool::giveBack(std::unique_ptr<Pair> pair) {
  const std::lock_guard lock(mutex_);
  if (pair->identities == identities_) kept_.push_back(std::move(pair));
}

DatabasePool::Lease::Lease(DatabasePool& pool, std::unique_ptr<Pair> pair)
    : pool_(&pool), pair_(std::move(pair)) {}

DatabasePool::Lease::Lease(Lease&& other) noexcept
    : pool_(other.pool_), pair_(std::move(other.pair_)) {}

DatabasePool::Lease::~Lease() {
  if (pair_) pool_->giveBack(std::move(pair_));
}

SearchDatabases& DatabasePool::Lease::databases() { return pair_->databases; }

void DatabasePool::Lease::discard() { pair_.reset(); }

}  // namespace indicizza
