#include "common/empty_data_database.h"

#include <utility>

#include "base/berkeley_db.h"

namespace indicizza::tools {

std::string createEmptyDataDatabase(const std::filesystem::path& path) {
  bdb::Database database;
  Status result = database.open(path.c_str(), bdb::OpenMode::kCreateNew);
  // The close writes the new file's first pages: its result counts too.
  Status closed = database.close();
  if (result.ok()) result = std::move(closed);
  return result.ok() ? std::string() : result.text();
}

}  // namespace indicizza::tools
