// catalogo mostra NUMERO...: writes the records stored under the numbers
// given (decimal text, optional sign, 32-bit values; all checked before
// anything is read) in opere.ddb of the current folder, in the order given.
// In testo each is a "Record N" line and its fieldListing, records
// separated by an empty line; in the other formats each is a row with the
// columns of search/result_formats.h (after the header line). A number not
// stored gives "Record N non trovato" (on standard output in testo,
// standard error otherwise). Exit status 0 when every number was found, 1
// otherwise, 2 on a malformed number or a missing or unreadable database.
#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/files/read_only_database.h"
#include "catalogue/forms/record_display.h"
#include "catalogue/forms/record_number_text.h"
#include "catalogue/text/terminal_text.h"
#include "records/data_database.h"
#include "search/presentation/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kShowHelpFooter =
    "Esempi:\n"
    "  catalogo mostra 43\n"
    "  catalogo mostra 43 49 50 --formato json";

struct ShowCommand {
  std::vector<std::string> numbers;
  std::string format = "testo";
  bool csvAsIs = false;
};

// The record number written in `text` (recordNumberFromText). Throws
// ToolFailure when it writes none.
RecordNumber parseRecordNumber(const std::string& text) {
  const std::optional<RecordNumber> number = recordNumberFromText(text);
  if (!number) throw ToolFailure("Numero di record non valido: '" + terminalText(text) + "'");
  return *number;
}

int runShow(const ShowCommand& command) {
  std::vector<RecordNumber> numbers;
  for (const std::string& text : command.numbers) numbers.push_back(parseRecordNumber(text));
  const OutputFormat format = formatOf(command.format);
  ReadOnlyDatabase data;
  failOn(openReadOnly(kDataDatabaseFileName, data));
  const ScrambleKey key = buildScrambleKey();
  std::cout << headerLine(format);
  bool allFound = true;
  bool first = true;
  for (const RecordNumber number : numbers) {
    std::optional<DecodedRecord> record;
    failOn(fetchRecord(data, number, key, record));
    const std::string name = "Record " + std::to_string(number);
    if (format == OutputFormat::kText && !first) std::cout << '\n';
    first = false;
    if (!record) {
      allFound = false;
      std::cout.flush();
      (format == OutputFormat::kText ? std::cout : std::cerr) << name << " non trovato\n";
      continue;
    }
    if (format == OutputFormat::kText) {
      std::cout << name << '\n' << fieldListing(*record);  // the listing may hold zero bytes
    } else {
      std::cout << formattedRow(format, rowOf(*record), csvValuesOf(command.csvAsIs));
    }
  }
  checkStandardOutput();
  return allFound ? kExitFound : kExitNotFound;
}

}  // namespace

Command addShowCommand(CLI::App& app) {
  auto command = std::make_shared<ShowCommand>();
  CLI::App* show =
      addSubcommand(app, "mostra", "Mostra campo per campo i record di opere.ddb", kShowHelpFooter);
  show->add_option("NUMERO", command->numbers, "Numeri dei record")->required();
  addFormatOption(*show, command->format, command->csvAsIs);
  return {show, [command] { return runShow(*command); }};
}

}  // namespace indicizza::catalogo
