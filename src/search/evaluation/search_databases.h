// opere.idb and opere.ddb of one folder, opened read-only for searches.
#pragma once

#include <memory>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "input/scramble_key.h"
#include "search/evaluation/kept_records.h"
#include "search/evaluation/record_list_cache.h"

namespace indicizza {

// opere.idb and opere.ddb of one folder, open read-only. Not copyable.
struct SearchDatabases {
  ReadOnlyDatabase index;
  ReadOnlyDatabase data;
  ScrambleKey key;
  // When set, the record lists of long keys are taken from and kept in it;
  // it must belong to the opere.idb that `index` reads (see
  // record_list_cache.h). A program that serves many searches sets it.
  std::shared_ptr<RecordListCache> recordLists;
  // Records read from `data` with their views, for the searches that follow
  // (kept_records.h): never null; it must belong to the opere.ddb that
  // `data` reads. A program that serves many searches shares one between
  // the handles open on one version of the files.
  std::shared_ptr<KeptRecords> kept = std::make_shared<KeptRecords>();
  // Whether opere.idb was written after opere.ddb last changed (totals.h),
  // as their files were when opened: then totals need no record reads.
  bool indexCurrent = false;
};

// Opens opere.idb and opere.ddb of the current folder read-only into
// `databases`. Fails as openReadOnly ("File opere.idb indefinito", ...) when
// one is missing or can't be opened.
Status openSearchDatabases(SearchDatabases& databases);

}  // namespace indicizza
