// catalogo esporta [--latin1]: the records of opere.ddb in the tab-separated
// form.
//
// Writes every record stored in opere.ddb of the current folder (opened
// read-only) to standard output in the tab-separated form that `cifra`
// reads (fullHeader(), then one line per record, in ascending record
// number), in `encoding`: `cifra` of the output gives records whose first
// 524 bytes are the stored ones. An item that is not 524 bytes long, or a
// record the form can't carry exactly (see rowOfRecord), is reported on
// standard error by its number and left out; then, at the end, a last line
// says how many, with exit status 2 (also when the database is missing or
// can't be read).
#include <memory>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/record_rows.h"
#include "catalogo/cli/tool_failure.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kExportHelpFooter =
    "Scrive ogni record di opere.ddb, in ordine di numero, nella forma che cifra legge.\n"
    "Esempio:\n"
    "  catalogo esporta > opere.tsv";

int runExport(TextEncoding encoding) {
  std::unique_ptr<RecordReader> reader;
  failOn(openStoredRecordReading(reader));
  const std::size_t leftOut = writeRecordRows(*reader, encoding);
  if (leftOut != 0) {
    throw ToolFailure(std::to_string(leftOut) + " elementi di " + kDataDatabaseFileName +
                      " non esportati su " + std::to_string(reader->itemsMet()));
  }
  return kExitFound;
}

}  // namespace

Command addExportCommand(CLI::App& app) {
  auto latin1 = std::make_shared<bool>(false);
  CLI::App* exportRecords = addSubcommand(
      app, "esporta", "Scrive ogni record di opere.ddb sull'uscita standard nella forma di cifra",
      kExportHelpFooter);
  addLatin1OutputOption(*exportRecords, *latin1);
  return {exportRecords, [latin1] { return runExport(encodingOf(*latin1)); }};
}

}  // namespace indicizza::catalogo
