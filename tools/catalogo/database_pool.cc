#include "catalogo/database_pool.h"

#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {

struct DatabasePool::Pair {
  SearchDatabases databases;
  Identities identities;  // of the files when the pair was opened (or just before)
};

DatabasePool::DatabasePool(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

DatabasePool::~DatabasePool() = default;

DatabasePool::Identities DatabasePool::currentIdentities() {
  return {identityOf(kIndexDatabaseFileName), identityOf(kDataDatabaseFileName)};
}

DatabasePool::Lease DatabasePool::acquire() {
  // Looked at before opening: should a run rename a newer file in between,
  // the pair opened is tagged with the older identity and the next lease
  // drops it, so a pair is never kept past a change.
  const Identities now = currentIdentities();
  {
    const std::lock_guard lock(mutex_);
    if (seenFiles_ && now != identities_) {
      const auto changed = [&](const std::optional<FileIdentity>& before, const std::optional<FileIdentity>& after,
                               const std::string& name) {
        if (before == after) return;
        log_(after ? name + " è cambiato: le ricerche leggono il nuovo file" : name + " non c'è più");
      };
      changed(identities_.index, now.index, kIndexDatabaseFileName);
      changed(identities_.data, now.data, kDataDatabaseFileName);
    }
    if (!seenFiles_ || now != identities_) {
      kept_.clear();
      identities_ = now;
      seenFiles_ = true;
    }
    if (!kept_.empty()) {
      std::unique_ptr<Pair> pair = std::move(kept_.back());
      kept_.pop_back();
      return Lease(*this, std::move(pair));
    }
  }
  auto pair = std::make_unique<Pair>(Pair{openSearchDatabases(), now});
  {
    const std::lock_guard lock(mutex_);
    ++pairsOpened_;
  }
  return Lease(*this, std::move(pair));
}

std::uint64_t DatabasePool::pairsOpened() const {
  const std::lock_guard lock(mutex_);
  return pairsOpened_;
}

void DatabasePool::giveBack(std::unique_ptr<Pair> pair) {
  const std::lock_guard lock(mutex_);
  if (pair->identities == identities_) kept_.push_back(std::move(pair));
}

DatabasePool::Lease::Lease(DatabasePool& pool, std::unique_ptr<Pair> pair) : pool_(&pool), pair_(std::move(pair)) {}

DatabasePool::Lease::Lease(Lease&& other) noexcept : pool_(other.pool_), pair_(std::move(other.pair_)) {}

DatabasePool::Lease::~Lease() {
  if (pair_) pool_->giveBack(std::move(pair_));
}

SearchDatabases& DatabasePool::Lease::databases() { return pair_->databases; }

void DatabasePool::Lease::discard() { pair_.reset(); }

}  // namespace indicizza::catalogo
