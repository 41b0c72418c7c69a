// catalogo: the companion of the indexer. Looks things up in, shows, serves,
// checks and converts the catalogue files of the current folder
// (noused.txt, opere.cry, opere.ddb, opere.idb) with the same scrambling key
// and rules as the indexer; the indexer's own behaviour is not changed by it.
//
// Exit status: 0 done/found, 1 not found or disagreements, 2 error.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/library_lines.h"
#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "version.h"

namespace {

using namespace indicizza::catalogo;

constexpr const char* kMainHelpFooter =
    "Esempi:\n"
    "  catalogo cerca bach sonata\n"
    "  catalogo help cerca\n"
    "Esito: 0 fatto o trovato, 1 nulla trovato o discordanze, 2 errore.";

// Everything after "--" in a search is query text, even when it starts with
// '-' (CLI11 hands "--" back to the main command once a positional has a
// value, so the split is made here): moves it to `afterMark` and returns how
// many arguments are left for CLI11.
int splitAtMark(int argc, char** argv, const std::string& search,
                std::vector<std::string>& afterMark) {
  if (argc < 2 || std::string_view(argv[1]) != search) return argc;
  for (int i = 2; i < argc; ++i) {
    if (std::string_view(argv[i]) != "--") continue;
    afterMark.assign(argv + i + 1, argv + argc);
    return i;
  }
  return argc;
}

// What the library said while a command ran, as one line after the
// command's own message: the first line of the library, and how many came
// after it. Nothing when it said nothing.
std::string libraryDetail(const indicizza::BoundedLines& lines) {
  if (lines.count == 0) return {};
  std::string detail = "Dettaglio della libreria: " + lines.first;
  const std::string others = indicizza::otherLibraryLinesNote(lines.others());
  if (!others.empty()) detail += " " + others;
  return detail + '\n';
}

// Runs `command`; a ToolFailure ends it with its message on standard error,
// followed by what the library said, and exit status 2. The library's lines
// are gathered meanwhile, and never written on their own.
int runCommand(const Command& command) {
  const indicizza::GatheredLibraryLines library;
  try {
    return command.run();
  } catch (const ToolFailure& failure) {
    std::fflush(stdout);
    std::cout.flush();
    std::cerr << failure.what() << '\n' << libraryDetail(library.lines());
    return kExitFailure;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Consulta, verifica e converte i file del catalogo nella cartella corrente.",
               "catalogo");
  italianHelp(app);
  app.require_subcommand(1);
  app.failure_message(usageFailure);
  app.footer(kMainHelpFooter);
  app.set_version_flag("--version", std::string("catalogo ") + indicizza::kVersion,
                       "Mostra la versione ed esce");

  std::vector<std::string> afterMark;
  const std::vector<Command> commands = {
      addSearchCommand(app, afterMark), addShowCommand(app),   addCreateDatabaseCommand(app),
      addEncodeCommand(app),            addDecodeCommand(app), addExportCommand(app),
      addVerifyCommand(app),            addServeCommand(app),  addHelpCommand(app)};
  for (const Command& command : commands) finishSubcommand(*command.app);

  const int parsed = splitAtMark(argc, argv, commands.front().app->get_name(), afterMark);
  try {
    app.parse(parsed, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? kExitFound : kExitFailure;
  }
  for (const Command& command : commands) {
    if (*command.app) return runCommand(command);
  }
  return kExitFailure;
}
