#include "common/empty_data_database.h"

#include "base/berkeley_db.h"
#include "records/data_database.h"

namespace indicizza::tools {

std::string createEmptyDataDatabase(const std::filesystem::path& path) {
  bdb::Database database;
  int result = database.create();
  if (result == 0) result = database.open(path.c_str(), bdb::OpenMode::kCreateNew, kDatabaseFileMode);
  // The close writes the new file's first pages: its result counts too.
  const int closeResult = database.close();
  if (result == 0) result = closeResult;
  return result == 0 ? std::string() : bdb::errorText(result);
}

}  // namespace indicizza::tools
