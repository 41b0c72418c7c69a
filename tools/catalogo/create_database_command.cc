#include "catalogo/create_database_command.h"

#include <filesystem>

#include "base/console.h"
#include "catalogo/exit_status.h"
#include "catalogo/tool_failure.h"
#include "common/empty_data_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {

int runCreateDatabase() {
  const std::string name = kDataDatabaseFileName;
  std::error_code ignored;
  if (std::filesystem::symlink_status(name, ignored).type() != std::filesystem::file_type::not_found) {
    throw ToolFailure(name + " esiste già: non modificato");
  }
  // The library creates the file exclusively, so a file made meanwhile is
  // still left alone.
  const std::string failure = tools::createEmptyDataDatabase(name);
  if (!failure.empty()) throw ToolFailure("Errore creazione " + name + ": " + failure);
  reportLine("Creato " + name + " vuoto");
  return kExitFound;
}

}  // namespace indicizza::catalogo
