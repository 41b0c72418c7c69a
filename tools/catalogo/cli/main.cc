// catalogo: the companion of the indexer. Looks things up in, shows, serves,
// checks and converts the catalogue files of the current folder
// (noused.txt, opere.cry, opere.ddb, opere.idb) with the same scrambling key
// and rules as the indexer; the indexer's own behaviour is not changed by it.
//
// Exit status: 0 done/found, 1 not found or disagreements, 2 error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/library_lines.h"
#include "base/out_of_memory.h"
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

// Ends a command with `message` on standard error (after what it wrote to
// standard output), followed by what the library said, and exit status 2.
int failWith(const char* message, const indicizza::GatheredLibraryLines& library) {
  std::fflush(stdout);
  std::cout.flush();
  std::cerr << message << '\n' << libraryDetail(library.lines());
  return kExitFailure;
}

// Runs `run` (a command, or the help and version flags), then checks that
// standard output took all it was given. A ToolFailure (the write error
// among them) ends it with its message on standard error and exit status 2,
// and so does running out of memory. The library's lines are gathered
// meanwhile, and never written on their own.
int runChecked(const std::function<int()>& run) {
  const indicizza::GatheredLibraryLines library;
  try {
    const int status = run();
    checkStandardOutput();
    return status;
  } catch (const ToolFailure& failure) {
    return failWith(failure.what(), library);
  } catch (const std::bad_alloc&) {
    return failWith(indicizza::kOutOfMemoryMessage, library);
  } catch (const std::length_error&) {
    return failWith(indicizza::kOutOfMemoryMessage, library);
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
  const std::vector<Command> commands = {addSearchCommand(app, afterMark),
                                         addShowCommand(app),
                                         addCreateDatabaseCommand(app),
                                         addEncodeCommand(app),
                                         addDecodeCommand(app),
                                         addExportCommand(app),
                                         addVerifyCommand(app),
                                         addServeCommand(app),
                                         addHelpCommand(app)};
  for (const Command& command : commands) finishSubcommand(*command.app);

  const int parsed = splitAtMark(argc, argv, commands.front().app->get_name(), afterMark);
  try {
    app.parse(parsed, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version write to standard output.
    return runChecked([&] { return app.exit(error) == 0 ? kExitFound : kExitFailure; });
  }
  for (const Command& command : commands) {
    if (*command.app) return runChecked(command.run);
  }
  return kExitFailure;
}
