#include "catalogo/web/catalogue_access.h"

#include <new>
#include <optional>

namespace indicizza::catalogo {
namespace {

ReadEnd endOf(const Status& done) {
  if (done.ok()) return ReadEnd::kDone;
  switch (done.code()) {
    case Status::Code::kOverBudget: return ReadEnd::kOverBudget;
    case Status::Code::kInterrupted: return ReadEnd::kStopped;
    default: return ReadEnd::kFailed;
  }
}

}  // namespace

CatalogueAccess::CatalogueAccess(std::function<void(const std::string&)> log)
    : log_(std::move(log)), pool_(log_) {}

ReadOutcome CatalogueAccess::read(const std::string& what,
                                  const std::function<Status(SearchDatabases&)>& work) {
  Status done;
  try {
    std::optional<DatabasePool::Lease> lease;
    done = pool_.acquire(lease);
    if (done.ok()) {
      try {
        done = work(lease->databases());
      } catch (...) {
        lease->discard();
        throw;
      }
      // A pair whose reading failed may be left in a bad state; one whose
      // search stopped at a look (its deadline, its client gone) or was
      // refused by its limits is whole, and stays warm with the records it
      // keeps for the searches that follow.
      if (endOf(done) == ReadEnd::kFailed) lease->discard();
    }
  } catch (const std::bad_alloc&) {
    log_(what + ": " + std::string(kNoMemoryText));
    return {ReadEnd::kFailed, std::string(kNoMemoryText)};
  }
  const ReadEnd end = endOf(done);
  if (end == ReadEnd::kFailed) log_(what + ": " + done.text());
  return {end, end == ReadEnd::kDone ? "" : done.text()};
}

}  // namespace indicizza::catalogo
