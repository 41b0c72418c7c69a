// The commands of catalogo, each made by a function of its own file, which
// declares the command's options next to the function that runs it. Every
// command works on the catalogue files of the current folder.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "catalogo/cli/command.h"

namespace indicizza::catalogo {

// cerca QUERY...: the records matching the query (search_command.cc). The
// words of `afterMark` (what followed "--" on the command line, set before
// the command runs) are appended to the query.
Command addSearchCommand(CLI::App& app, const std::vector<std::string>& afterMark);

// mostra NUMBER...: records field by field (show_command.cc).
Command addShowCommand(CLI::App& app);

// crea-db: an empty opere.ddb (create_database_command.cc).
Command addCreateDatabaseCommand(CLI::App& app);

// cifra FILE: opere.cry from the tab-separated form (encode_command.cc).
Command addEncodeCommand(CLI::App& app);

// decifra: opere.cry in the tab-separated form (decode_command.cc).
Command addDecodeCommand(CLI::App& app);

// esporta: the records of opere.ddb in the tab-separated form
// (export_command.cc).
Command addExportCommand(CLI::App& app);

// verifica: opere.idb checked against the records (verify_command.cc).
Command addVerifyCommand(CLI::App& app);

// servi: the search page for a browser (serve_command.cc).
Command addServeCommand(CLI::App& app);

// help [COMMAND]: the help of catalogo or of one command (help_command.cc).
Command addHelpCommand(CLI::App& app);

}  // namespace indicizza::catalogo
