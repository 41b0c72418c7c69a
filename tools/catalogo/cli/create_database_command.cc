// catalogo crea-db: creates an empty opere.ddb (a B-tree, mode 0664 less
// the umask) in the current folder and says so. Exit status 2, leaving the
// file alone, when opere.ddb already exists (in any form: file, directory,
// link) or the library can't create it.
#include <filesystem>
#include <iostream>
#include <string>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/files/empty_data_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kCreateHelpFooter =
    "Esempio:\n"
    "  catalogo crea-db";

int runCreateDatabase() {
  const std::string name = kDataDatabaseFileName;
  std::error_code ignored;
  if (std::filesystem::symlink_status(name, ignored).type() !=
      std::filesystem::file_type::not_found) {
    throw ToolFailure(name + " esiste già: non modificato");
  }
  // The file is given its name only if none has it by then, so a file made
  // meanwhile is still left alone.
  const Status created = createEmptyDataDatabase(name);
  if (!created.ok()) throw ToolFailure("Errore creazione " + name + ": " + created.text());
  std::cout << "Creato " << name << " vuoto\n";
  return kExitFound;
}

}  // namespace

Command addCreateDatabaseCommand(CLI::App& app) {
  CLI::App* create = addSubcommand(
      app, "crea-db", "Crea opere.ddb vuoto (mai sopra un file esistente)", kCreateHelpFooter);
  return {create, [] { return runCreateDatabase(); }};
}

}  // namespace indicizza::catalogo
