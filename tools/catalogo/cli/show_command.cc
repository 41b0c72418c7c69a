#include "catalogo/cli/show_command.h"

#include <charconv>
#include <cstdio>
#include <iostream>

#include "catalogo/cli/exit_status.h"
#include "catalogue/read_only_database.h"
#include "catalogue/record_display.h"
#include "catalogo/cli/tool_failure.h"
#include "records/data_database.h"

namespace indicizza::catalogo {

int parseRecordNumber(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;  // from_chars takes only '-'
  RecordNumber number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  if (begin == end || error != std::errc() || stop != end) {
    throw ToolFailure("Numero di record non valido: '" + text + "'");
  }
  return number;
}

int runShow(const std::vector<std::string>& texts, OutputFormat format) {
  std::vector<RecordNumber> numbers;
  for (const std::string& text : texts) numbers.push_back(parseRecordNumber(text));
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
      std::cout << formattedRow(format, rowOf(*record));
    }
  }
  std::cout.flush();
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
  return allFound ? kExitFound : kExitNotFound;
}

}  // namespace indicizza::catalogo
