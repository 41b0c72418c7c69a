#include "search/evaluation/database_pool.h"

#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza {

struct DatabasePool::Pair {
  SearchDatabases databases;
  Identities identities;  // of the files its handles read
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

Status DatabasePool::openPair(Caches caches, std::unique_ptr<Pair>& pair) {
  pair = std::make_unique<Pair>();
  const Status opened = openSearchDatabases(pair->databases);
  if (!opened.ok()) {
    pair.reset();
    return opened;
  }
  // The files the handles read, whatever their names name now.
  pair->identities = {pair->databases.index.handle.fileIdentity(),
                      pair->databases.data.handle.fileIdentity()};
  pair->databases.recordLists = std::move(caches.recordLists);
  pair->databases.kept = std::move(caches.kept);
  return {};
}

Status DatabasePool::checkPages(const Identities& identities, bool& current) {
  current = true;
  // A file that is not there is left to the open, which says so.
  if (!identities.index || !identities.data) return {};
  const std::lock_guard lock(checkMutex_);
  if (checked_ == identities) return verdict_;
  Identities read;
  verdict_ =
      checkDatabasePages(ReadOnlyDatabase{bdb::Database(), kIndexDatabaseFileName}, &read.index);
  if (verdict_.ok()) {
    verdict_ =
        checkDatabasePages(ReadOnlyDatabase{bdb::Database(), kDataDatabaseFileName}, &read.data);
  }
  if (verdict_.ok() && read != identities) {
    // A file changed between the look and the check: the verdict is about
    // others than those looked at.
    current = false;
    checked_.reset();
    return {};
  }
  checked_ = identities;
  return verdict_;
}

bool DatabasePool::takeKept(const Identities& now, std::optional<Lease>& lease, Caches& caches) {
  const std::lock_guard lock(mutex_);
  if (seenFiles_ && now != identities_) {
    const auto changed = [&](const std::optional<FileIdentity>& before,
                             const std::optional<FileIdentity>& after, const std::string& name) {
      if (before == after) return;
      log_(after ? name + " è cambiato: le ricerche leggono il nuovo file" : name + " non c'è più");
    };
    changed(identities_.index, now.index, kIndexDatabaseFileName);
    changed(identities_.data, now.data, kDataDatabaseFileName);
  }
  if (!seenFiles_ || now != identities_) {
    kept_.clear();
    if (!seenFiles_ || now.index != identities_.index) {
      caches_.recordLists = std::make_shared<RecordListCache>(kRecordListBudget);
    }
    if (!seenFiles_ || now.data != identities_.data) caches_.kept = std::make_shared<KeptRecords>();
    identities_ = now;
    seenFiles_ = true;
  }
  caches = caches_;
  if (kept_.empty()) return false;
  std::unique_ptr<Pair> pair = std::move(kept_.back());
  kept_.pop_back();
  lease.emplace(Lease(*this, std::move(pair)));
  return true;
}

Status DatabasePool::acquire(std::optional<Lease>& lease) {
  lease.reset();
  // The files are looked at (two stat calls), their pages checked once per
  // version, and a pair opened; a pair that reads other files than those
  // checked (a run renamed a new one in between) is dropped, and the next
  // attempt looks again.
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    const Identities now = currentIdentities();
    Caches caches;
    if (takeKept(now, lease, caches)) return {};
    bool current = true;
    const Status checked = checkPages(now, current);
    if (!checked.ok()) return checked;
    if (!current) continue;
    std::unique_ptr<Pair> pair;
    const Status opened = openPair(std::move(caches), pair);
    if (!opened.ok()) return opened;
    if (pair->identities != now) continue;
    lease.emplace(Lease(*this, std::move(pair)));
    return {};
  }
  return Status::described(Status::Code::kReplaced,
                           "I file del catalogo cambiano mentre si aprono: riprovare tra poco");
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
