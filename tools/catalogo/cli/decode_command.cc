// catalogo decifra [--latin1]: writes opere.cry in its tab-separated form.
//
// Writes opere.cry of the current folder to standard output in its
// tab-separated form (fullHeader, then one line per record, in file order),
// in `encoding`. Records the form can't carry exactly (see rowOfRecord) and
// a short final record are reported on standard error by position and left
// out. Progress dots on standard error. Exit status 0 when every record was
// written, 2 when the file can't be read or any record was left out.
#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/forms/tsv_rows.h"
#include "input/record_file.h"
#include "input/scramble_key.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kDecodeHelpFooter =
    "Esempio:\n"
    "  catalogo decifra > opere.tsv";

int runDecode(TextEncoding encoding) {
  RecordFile file;
  if (!tryOpenRecordFile(kRecordFileName, file).ok()) throw ToolFailure(kRecordFileOpenFailed);
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  std::vector<std::string> errors;
  std::cout << fullHeader() << '\n';

  std::array<std::uint8_t, kRecordSize> buffer;
  std::size_t position = 0;
  for (;;) {
    ReadOutcome outcome;
    if (!readRecord(file, buffer, outcome).ok()) {
      progress.finish();
      std::cout.flush();
      throw ToolFailure(kRecordFileReadFailed);
    }
    if (outcome == ReadOutcome::kEnd) break;
    ++position;
    if (outcome == ReadOutcome::kShortRecord) {
      errors.push_back("record " + std::to_string(position) + ": incompleto (" +
                       std::to_string(std::ftell(file.stream()) % kRecordSize) + " byte)");
      progress.finish();
      std::cerr << errors.back() << '\n';
      break;
    }
    const std::size_t before = errors.size();
    const auto line = rowOfRecord(DecodedRecord::fromScrambled(buffer, key),
                                  "record " + std::to_string(position), encoding, errors);
    if (line) {
      std::cout << *line << '\n';
    } else {
      progress.finish();
      for (std::size_t i = before; i < errors.size(); ++i) std::cerr << errors[i] << '\n';
    }
    progress.tick();
  }
  progress.finish();
  checkStandardOutput();
  if (!errors.empty()) {
    throw ToolFailure(std::to_string(errors.size()) + " record non convertiti su " +
                      std::to_string(position));
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
