// A scratch working directory for one run of the indexer: writes its input
// files, runs the real executable there and reads back what it left.
#pragma once

#include <string>
#include <vector>

#include "input/plain_record.h"
#include "support/btree_files.h"
#include "support/program_run.h"
#include "support/scratch_dir.h"

namespace indicizza::testing {

class CatalogueDir : public ScratchDir {
 public:
  void stopWords(const std::string& content) { writeFile(*this / "noused.txt", content); }
  // opere.cry holding `records`, scrambled with the build's key.
  void records(const std::vector<PlainRecord>& records);
  // An empty opere.ddb (a B-tree), or one holding `items`.
  void dataDatabase(const std::vector<StoredItem>& items = {}) {
    loadDatabase(*this / "opere.ddb", items);
  }
  // Stop words, records and an empty data database, the usual starting point.
  void prepare(const std::vector<PlainRecord>& records, const std::string& stopWords = "");

  ProgramRun run() const { return runIndexer(path()); }

  std::vector<StoredItem> dataItems() const { return dumpDatabase(*this / "opere.ddb"); }
  std::vector<StoredItem> indexItems() const { return dumpDatabase(*this / "opere.idb"); }
};

// Records numbered first..first+count-1 with blank fields (they yield no
// term).
std::vector<PlainRecord> numberedRecords(int first, int count);

// The data database item of `record`: its key and its first 524 scrambled
// bytes.
StoredItem storedItemOf(const PlainRecord& record);

}  // namespace indicizza::testing
