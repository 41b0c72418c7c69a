#include "catalogo/show_command.h"

#include <charconv>
#include <cstdio>

#include "catalogo/exit_status.h"
#include "catalogo/read_only_database.h"
#include "catalogo/record_display.h"
#include "catalogo/tool_failure.h"
#include "records/data_database.h"
#include "run/console.h"

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

int runShow(const std::string& text) {
  const RecordNumber number = parseRecordNumber(text);
  ReadOnlyDatabase data = openReadOnly(kDataDatabaseFileName);
  const std::optional<DecodedRecord> record = fetchRecord(data, number, buildScrambleKey());
  const std::string name = "Record " + std::to_string(number);
  if (!record) {
    reportLine(name + " non trovato");
    return kExitNotFound;
  }
  reportLine(name);
  const std::string listing = fieldListing(*record);  // may hold zero bytes
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  return kExitFound;
}

}  // namespace indicizza::catalogo
