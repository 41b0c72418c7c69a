#include "search/evaluation/search_databases.h"

#include "catalogue/files/file_identity.h"
#include "index_store/index_database.h"
#include "records/data_database.h"
#include "search/evaluation/totals.h"

namespace indicizza {

Status openSearchDatabases(SearchDatabases& databases) {
  databases.recordLists = nullptr;
  databases.indexCurrent = false;
  databases.kept = std::make_shared<KeptRecords>();
  databases.key = buildScrambleKey();
  const Status index = openReadOnly(kIndexDatabaseFileName, databases.index);
  if (!index.ok()) return index;
  const Status data = openReadOnly(kDataDatabaseFileName, databases.data);
  if (!data.ok()) return data;
  databases.indexCurrent =
      indexWrittenAfterData(identityOf(kIndexDatabaseFileName), identityOf(kDataDatabaseFileName));
  return {};
}

}  // namespace indicizza
