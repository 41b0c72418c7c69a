// catalogo decifra [--latin1]: writes opere.cry in its tab-separated form.
//
// Writes opere.cry of the current folder to standard output in its
// tab-separated form (fullHeader, then one line per record, in file order),
// in `encoding`. Records the form can't carry exactly (see rowOfRecord) and
// a short final record are reported on standard error by position and left
// out. Progress dots on standard error. Exit status 0 when every record was
// written, 2 when the file can't be read or any record was left out.
#include <memory>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/record_rows.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/forms/tsv_rows.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kDecodeHelpFooter =
    "Esempio:\n"
    "  catalogo decifra > opere.tsv";

int runDecode(TextEncoding encoding) {
  std::unique_ptr<RecordReader> reader;
  failOn(openRecordFileReading(reader));
  const std::size_t leftOut = writeRecordRows(*reader, encoding);
  if (leftOut != 0) {
    throw ToolFailure(std::to_string(leftOut) + " record non convertiti su " +
                      std::to_string(reader->itemsMet()));
  }
  return kExitFound;
}

}  // namespace

Command addDecodeCommand(CLI::App& app) {
  auto latin1 = std::make_shared<bool>(false);
  CLI::App* decode = addSubcommand(
      app, "decifra", "Scrive opere.cry sull'uscita standard come campi separati da tabulazioni",
      kDecodeHelpFooter);
  addLatin1OutputOption(*decode, *latin1);
  return {decode, [latin1] { return runDecode(encodingOf(*latin1)); }};
}

}  // namespace indicizza::catalogo
