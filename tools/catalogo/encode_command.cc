#include "catalogo/encode_command.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "catalogo/exit_status.h"
#include "catalogo/progress.h"
#include "catalogo/replacement_file.h"
#include "catalogo/tool_failure.h"
#include "input/record_file.h"
#include "input/scramble_key.h"
#include "run/console.h"

namespace indicizza::catalogo {
namespace {

// Past this many, line errors are counted but no longer written.
constexpr std::size_t kMostReportedErrors = 100;

// Reads one line without its line feed, and without a carriage return just
// before it; false at the end of the input.
bool readLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// Writes the new errors of `errors` from `reported` on; counts them all.
void reportErrors(const std::vector<std::string>& errors, std::size_t& reported) {
  for (; reported < errors.size(); ++reported) {
    if (reported < kMostReportedErrors) std::cerr << errors[reported] << "\n";
    if (reported == kMostReportedErrors) std::cerr << "...\n";
  }
}

}  // namespace

int runEncode(const std::filesystem::path& tsv, TextEncoding encoding) {
  std::ifstream in(tsv, std::ios::binary);
  std::error_code ignored;
  if (!in || std::filesystem::is_directory(tsv, ignored)) {
    throw ToolFailure("Errore lettura " + tsv.string());
  }
  std::string line;
  if (!readLine(in, line)) throw ToolFailure(tsv.string() + ": manca la riga di intestazione");
  std::vector<std::string> errors;
  std::size_t reported = 0;
  const auto columns = parseHeader(line, errors);
  if (!columns) {
    reportErrors(errors, reported);
    throw ToolFailure("Intestazione non valida: " + std::string(kRecordFileName) + " non modificato");
  }

  ReplacementFile out(kRecordFileName);
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  std::size_t lineNumber = 1;
  std::size_t records = 0;
  std::size_t badLines = 0;
  while (readLine(in, line)) {
    ++lineNumber;
    const auto record = recordOfRow(line, lineNumber, *columns, encoding, errors);
    if (!record) {
      ++badLines;
      progress.finish();
      reportErrors(errors, reported);
    } else if (badLines == 0) {
      const auto scrambled = record->scrambled(key);
      out.write({reinterpret_cast<const char*>(scrambled.data()), scrambled.size()});
      ++records;
    }
    progress.tick();
  }
  progress.finish();
  if (in.bad()) throw ToolFailure("Errore durante la lettura di " + tsv.string());
  if (badLines != 0) {
    throw ToolFailure(std::to_string(badLines) + " righe con errori (" +
                      std::to_string(errors.size()) + " errori): " + kRecordFileName +
                      " non modificato");
  }
  out.commit();
  reportLine(std::to_string(records) + " record scritti in " + kRecordFileName);
  return kExitFound;
}

}  // namespace indicizza::catalogo
