// The catalogue as `catalogo servi` reads it: each reading on a handle pair
// leased from a pool (search/database_pool.h) that follows the files when
// the indexer replaces them. A pair that failed is dropped, not kept for the
// next reading; a failure to read (or memory running out) is logged.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/out_of_memory.h"
#include "search/evaluation/database_pool.h"
#include "search/search.h"

namespace indicizza::catalogo {

// What a reading that ran out of memory says, on its page and in the log.
inline constexpr std::string_view kNoMemoryText = kOutOfMemoryMessage;

// How a reading ended.
enum class ReadEnd {
  kDone,
  kOverBudget,  // the search would cost more than its limits allow (the client's to narrow)
  kStopped,     // SearchOptions::stop gave up on it (its deadline, its client gone)
  kFailed,      // a database could not be opened or read, or memory ran out
};

struct ReadOutcome {
  ReadEnd end = ReadEnd::kDone;
  // The read side's sentence for kOverBudget and kFailed (kNoMemoryText
  // when memory ran out).
  std::string text;
};

class CatalogueAccess {
 public:
  // `log` gets a line for each failed reading and each change of the
  // files; it may be called from several threads at once.
  explicit CatalogueAccess(std::function<void(const std::string&)> log);
  CatalogueAccess(const CatalogueAccess&) = delete;
  CatalogueAccess& operator=(const CatalogueAccess&) = delete;

  // Runs `work` on a leased handle pair; `what` names the reading in the
  // log ("Ricerca 'bach'"). Safe from several threads at once.
  ReadOutcome read(const std::string& what, const std::function<Status(SearchDatabases&)>& work);

  void log(const std::string& line) const { log_(line); }

  // The side files the readings use, read again only when they change.
  SearchSideFiles& sideFiles() { return sideFiles_; }

 private:
  std::function<void(const std::string&)> log_;
  DatabasePool pool_;
  SearchSideFiles sideFiles_;
};

}  // namespace indicizza::catalogo
