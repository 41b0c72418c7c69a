// catalogo verifica: checks that opere.idb of the current folder holds
// exactly the entries a run of the indexer over opere.ddb and noused.txt
// would give (see catalogue/index_check.h). Writes one line per
// disagreement on standard output, then the totals. Exit status 0 with no
// disagreement, 1 with some, 2 when a file is missing or can't be read.
// Opens both databases read-only and writes no file. Warns on standard error
// of a database with other hard links, which a run leaves on the old file.
#include <iostream>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/files/hard_links.h"
#include "catalogue/files/index_check.h"
#include "catalogue/files/stop_word_file.h"
#include "index_store/index_database.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kVerifyHelpFooter =
    "Esempio:\n"
    "  catalogo verifica";

int runVerify() {
  StopWordSet stopWords;
  failOn(loadRegularStopWordFile(stopWords));
  ReadOnlyDatabase index;
  failOn(openReadOnly(kIndexDatabaseFileName, index));
  ReadOnlyDatabase data;
  failOn(openReadOnly(kDataDatabaseFileName, data));
  for (const ReadOnlyDatabase* database : {&data, &index}) {
    if (const auto warning = hardLinkWarning(database->fileName)) std::cerr << *warning << '\n';
  }
  IndexCheck check;
  failOn(checkIndex(
      index, data, stopWords, [](const std::string& line) { std::cout << line << '\n'; }, check));
  if (check.skippedItems != 0) {
    std::cout << check.skippedItems << " elementi di " << data.fileName
              << " non lunghi 524 byte: ignorati, come fa l'indicizzatore\n";
  }
  std::cout << "Record: " << check.records << ", termini: " << check.terms
            << ", voci: " << check.entries << ", discordanze: " << check.disagreements << '\n';
  return check.disagreements == 0 ? kExitFound : kExitNotFound;
}

}  // namespace

Command addVerifyCommand(CLI::App& app) {
  CLI::App* verify =
      addSubcommand(app, "verifica", "Controlla che opere.idb corrisponda a opere.ddb e noused.txt",
                    kVerifyHelpFooter);
  return {verify, [] { return runVerify(); }};
}

}  // namespace indicizza::catalogo
