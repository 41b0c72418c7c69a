#include "catalogo/cli/create_database_command.h"

#include <filesystem>
#include <iostream>

#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/empty_data_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {

int runCreateDatabase() {
  const std::string name = kDataDatabaseFileName;
  std::error_code ignored;
  if (std::filesystem::symlink_status(name, ignored).type() !=
      std::filesystem::file_type::not_found) {
    throw ToolFailure(name + " esiste già: non modificato");
  }
  // The library creates the file exclusively, so a file made meanwhile is
  // still left alone.
  const Status created = createEmptyDataDatabase(name);
  if (!created.ok()) throw ToolFailure("Errore creazione " + name + ": " + created.text());
  std::cout << "Creato " << name << " vuoto\n";
  return kExitFound;
}

}  // namespace indicizza::catalogo
