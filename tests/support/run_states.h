// The states a run may leave a catalogue in, for tests that stop runs the
// hard way (SIGKILL, a full disk): a folder holding an earlier catalogue,
// already indexed, and a new record file to load over it; the files before
// the run, and after a whole run (from a run of its own, in a folder of its
// own).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza::testing {

class RunStates {
 public:
  // Generated catalogues: the earlier one of `earlierRecords`, the new file
  // of `fileRecords` (numbered from 1 as well, so it replaces earlier
  // records and adds others).
  RunStates(std::uint64_t earlierRecords, std::uint64_t fileRecords);

  // Writes the earlier databases, the new record file and the stop words
  // into `folder` (the databases may go to `databaseFolder` instead, with the
  // inputs reached through symbolic links).
  void prepare(const std::filesystem::path& folder) const;
  void prepare(const std::filesystem::path& inputFolder,
               const std::filesystem::path& databaseFolder) const;
  // The same into `folder`, the databases as hard links to the files the
  // earlier run left: the run reads only the records of the new file into
  // terms. The run never writes them in place, so they stay as they are.
  void prepareLinked(const std::filesystem::path& folder) const;

  // Checks that the databases in `folder` verify and each holds its state of
  // before the run or of after a whole one (the data database: or after the
  // load, which is the same). Reports failures through gtest; `data` and
  // `index` get which state was found ("before" or "after").
  void expectWholeStates(const std::filesystem::path& folder, std::string& data,
                         std::string& index) const;

  const std::string& transcript() const { return transcript_; }     // of a whole run
  std::chrono::milliseconds duration() const { return duration_; }  // of a whole run

 private:
  ScratchDir files_;  // earlier.ddb, earlier.idb, opere.cry, noused.txt
  std::vector<StoredItem> dataBefore_, indexBefore_, dataAfter_, indexAfter_;
  std::string transcript_;
  std::chrono::milliseconds duration_{0};
};

}  // namespace indicizza::testing
