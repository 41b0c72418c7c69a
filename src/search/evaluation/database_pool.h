// The read-only database handles of a program that serves searches from
// several threads at once. A handle pair (SearchDatabases) serves one search
// at a time, so each request leases a pair of its own from the pool and
// gives it back when done; the pool keeps the pairs given back for the next
// requests, so there are never more pairs than requests served at once.
//
// Following the indexer: each lease first looks at the identity of
// opere.idb and opere.ddb (two stat calls). When either file is not the one
// the pool's pairs were opened on (a run of the indexer renamed a new one
// over it), every kept pair is dropped and the lease opens the new files.
// A search already under way on an old pair goes on reading the old files,
// which stay whole until its handles close. The working copies a run is
// writing (opere.idb.nuovo, ...) are never opened.
//
// The pairs open on one opere.idb share a RecordListCache of
// kRecordListBudget bytes, and those open on one opere.ddb the records read
// from it (KeptRecords, kept_records.h); each is dropped with them when its
// file changes.
//
// Before the first pair is opened on a version of the two files, their
// pages are checked once (checkDatabasePages): a damaged page could make
// the library loop inside a lookup, where no deadline reaches, and hold a
// serving thread for ever. The verdict is kept for that version; while it is
// a failure, every lease fails with it. A pair is leased only when its
// handles read the very files that were checked. No file is ever opened in a
// way that waits: a named pipe or a device in a database's place is a
// failure at once (regular_file.h), kept until the file changes again.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/files/file_identity.h"
#include "search/evaluation/search_databases.h"

namespace indicizza {

inline constexpr std::size_t kRecordListBudget = std::size_t{128} << 20;

class DatabasePool {
 public:
  // `log` receives a line (Italian) each time the pool sees the files
  // change. Called from the leasing threads, one call at a time.
  explicit DatabasePool(std::function<void(const std::string&)> log);
  DatabasePool(const DatabasePool&) = delete;
  DatabasePool& operator=(const DatabasePool&) = delete;
  ~DatabasePool();

  struct Pair;

  // One handle pair, the leasing thread's alone until the lease ends; then
  // it goes back to the pool, unless discard() was called (after a read
  // error, say) or the files changed meanwhile.
  class Lease {
   public:
    Lease(Lease&& other) noexcept;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Lease& operator=(Lease&&) = delete;
    ~Lease();

    SearchDatabases& databases();
    void discard();

   private:
    friend class DatabasePool;
    Lease(DatabasePool& pool, std::unique_ptr<Pair> pair);
    DatabasePool* pool_;
    std::unique_ptr<Pair> pair_;
  };

  // A pair open on the current opere.idb and opere.ddb of the current
  // folder, into `lease`. Fails as openSearchDatabases ("File opere.idb
  // indefinito", ...) when either can't be opened.
  Status acquire(std::optional<Lease>& lease);

 private:
  struct Identities {
    std::optional<FileIdentity> index;
    std::optional<FileIdentity> data;
    bool operator==(const Identities&) const = default;
  };
  static Identities currentIdentities();
  // What the pairs open on one version of the files share.
  struct Caches {
    std::shared_ptr<RecordListCache> recordLists;  // of its opere.idb
    std::shared_ptr<KeptRecords> kept;             // of its opere.ddb
  };
  // A pair open on the files of the current folder, which knows the
  // identities of the files its handles read.
  static Status openPair(Caches caches, std::unique_ptr<Pair>& pair);
  // The page check's verdict on the files of `identities`, made once per
  // version (one thread checks; the others wait for its verdict).
  // `current` turns false when the files checked were not those (a run
  // renamed a new one in between): there is no verdict on them then.
  Status checkPages(const Identities& identities, bool& current);
  // Notes the files now seen (`now`: a change is logged and drops the kept
  // pairs), gives the caches of the current files, and leases a kept pair
  // into `lease` when there is one.
  bool takeKept(const Identities& now, std::optional<Lease>& lease, Caches& caches);
  void giveBack(std::unique_ptr<Pair> pair);

  std::function<void(const std::string&)> log_;
  mutable std::mutex mutex_;
  Identities identities_;  // of the files the kept pairs are open on
  bool seenFiles_ = false;
  std::vector<std::unique_ptr<Pair>> kept_;
  Caches caches_;                      // of the files of identities_
  std::mutex checkMutex_;              // held while the pages are checked
  std::optional<Identities> checked_;  // the version the verdict is about
  Status verdict_;
};

}  // namespace indicizza
