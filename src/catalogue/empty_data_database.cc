#include "catalogue/empty_data_database.h"

#include "base/berkeley_db.h"

namespace indicizza {

Status createEmptyDataDatabase(const std::filesystem::path& path) {
  bdb::Database database;
  Status created = database.open(path.c_str(), bdb::OpenMode::kCreateNew);
  // The close writes the new file's first pages: its result counts too.
  Status closed = database.close();
  return created.ok() ? closed : created;
}

}  // namespace indicizza
