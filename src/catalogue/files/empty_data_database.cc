#include "catalogue/files/empty_data_database.h"

#include <unistd.h>

#include "base/berkeley_db.h"
#include "base/shadow_file.h"

namespace indicizza {

Status createEmptyDataDatabase(const std::filesystem::path& path) {
  ShadowFile draft;
  int fd = -1;
  Status status = ShadowFile::toWriteBeside(path, draft, fd, bdb::kNewFileMode);
  if (!status.ok()) return status;
  close(fd);
  {
    bdb::Database database;
    status = database.open(draft.path().c_str(), bdb::OpenMode::kFillEmpty);
    // The close writes the new file's first pages: its result counts too.
    const Status closed = database.close();
    if (status.ok()) status = closed;
  }
  if (status.ok()) status = draft.commitAsNew();
  return status;
}

}  // namespace indicizza
