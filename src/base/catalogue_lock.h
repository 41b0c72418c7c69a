// One run at a time per catalogue folder.
//
// A run holds an exclusive lock on the catalogue folder from before it
// touches any database until it ends. The kernel releases the lock when the
// process ends, however it ends (SIGKILL included), so a killed run never
// leaves the folder locked. Readers (catalogo) take no lock: the run never
// writes opere.ddb or opere.idb in place (see shadow_file.h), so a reader
// sees either the files of before or those of after a phase.
#pragma once

#include <filesystem>

#include "base/status.h"

namespace indicizza {

// The fatal message of a run that finds another one at work in its folder.
inline constexpr const char* kCatalogueBusyMessage = "Catalogo in uso da un'altra esecuzione";

// An exclusive lock on a folder, held until destruction. Not copyable.
class CatalogueLock {
 public:
  CatalogueLock() = default;
  ~CatalogueLock();
  CatalogueLock(CatalogueLock&& other) noexcept;
  CatalogueLock& operator=(CatalogueLock&&) = delete;
  CatalogueLock(const CatalogueLock&) = delete;
  CatalogueLock& operator=(const CatalogueLock&) = delete;

  // Takes the lock on `folder` without waiting. Fails with kBusy when
  // another process holds it. A folder that can't be locked at all (a file
  // system without locks) counts as free: there is nothing to guard with.
  Status tryLock(const std::filesystem::path& folder);

 private:
  int fd_ = -1;
};

// Locks the catalogue folder (the working directory). Fatal stop
// kCatalogueBusyMessage when another run holds it.
CatalogueLock lockCatalogue(const std::filesystem::path& folder = ".");

}  // namespace indicizza
