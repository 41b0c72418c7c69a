// One run at a time per set of database files.
//
// A run holds an exclusive lock on each folder where it makes a working copy
// (see shadow_file.h): the folder of each database file it replaces, once
// symbolic links are followed. So two runs that would write a working copy
// in one folder (two runs in one catalogue folder, or two catalogue folders
// whose links reach files of one folder) refuse each other. The kernel
// releases the locks when the process ends, however it ends (SIGKILL
// included), so a killed run never leaves a folder locked. Readers
// (catalogo) take no lock: the run never writes opere.ddb or opere.idb in
// place, so a reader sees either the files of before or those of after a
// phase.
#pragma once

#include <filesystem>
#include <vector>

#include "base/status.h"

namespace indicizza {

// The fatal message of a run that finds another one at work on its folders.
inline constexpr const char* kCatalogueBusyMessage = "Catalogo in uso da un'altra esecuzione";

// Exclusive locks on folders, held until destruction. Not copyable.
class CatalogueLock {
 public:
  CatalogueLock() = default;
  ~CatalogueLock();
  CatalogueLock(CatalogueLock&& other) noexcept;
  CatalogueLock& operator=(CatalogueLock&&) = delete;
  CatalogueLock(const CatalogueLock&) = delete;
  CatalogueLock& operator=(const CatalogueLock&) = delete;

  // Takes the lock on every folder of `folders` without waiting, in a fixed
  // order (by device and inode number, whatever the order or the spelling
  // they are given in; a folder named twice is locked once), so that of two
  // processes after a folder in common, the one that gets the first of them
  // gets them all. Fails with kBusy, holding none, when another process
  // holds any of them. A folder that can't be opened or locked at all (a
  // file system without locks) counts as free: there is nothing to guard
  // with.
  Status tryLock(const std::vector<std::filesystem::path>& folders);

 private:
  void release();

  std::vector<int> fds_;
};

// The folder where the working copy of the database file `path` is made:
// that of the file it names once symbolic links are followed (see
// linkTarget); "." for a file of the working directory.
std::filesystem::path workingCopyFolder(const std::filesystem::path& path);

// Locks the working-copy folders of the database files `databases` (see
// workingCopyFolder). Fatal stop kCatalogueBusyMessage when another run
// holds any of them.
CatalogueLock lockCatalogue(const std::vector<std::filesystem::path>& databases);

}  // namespace indicizza
