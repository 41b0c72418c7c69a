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
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/item_walk.h"
#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/files/read_only_database.h"
#include "catalogue/forms/tsv_rows.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kExportHelpFooter =
    "Scrive ogni record di opere.ddb, in ordine di numero, nella forma che cifra legge.\n"
    "Esempio:\n"
    "  catalogo esporta > opere.tsv";

// The record numbers of every key of the data database, ascending; a key
// that is not a record key is reported and counted in `refused`. The file is
// walked as the indexer's scan walks it, pages checked first, so that a
// damaged file is refused rather than exported in part.
std::vector<RecordNumber> storedNumbers(ReadOnlyDatabase& data, std::size_t& items,
                                        std::size_t& refused) {
  failOn(checkDatabasePages(data));
  std::vector<RecordNumber> numbers;
  ItemWalk walk(data.handle);
  bdb::Item key;
  bdb::Item item;
  while (walk.next(key, item)) {
    ++items;
    if (key.size != kRecordKeySize) {
      std::cerr << "chiave di " << key.size << " byte in " << data.fileName
                << ": non è un record\n";
      ++refused;
      continue;
    }
    numbers.push_back(recordNumberOfKey(key.bytes().first<kRecordKeySize>()));
  }
  failOn(checkWalkEnd(data, walk.status()));
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

int runExport(TextEncoding encoding) {
  ReadOnlyDatabase data;
  failOn(openReadOnly(kDataDatabaseFileName, data));
  std::size_t items = 0;
  std::size_t refused = 0;
  const std::vector<RecordNumber> numbers = storedNumbers(data, items, refused);
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  std::vector<std::string> errors;
  std::cout << fullHeader() << '\n';
  for (const RecordNumber number : numbers) {
    const std::string place = "record numero " + std::to_string(number);
    std::optional<DecodedRecord> record;
    const Status fetched = fetchRecord(data, number, key, record);
    if (!fetched.ok()) {
      progress.finish();
      std::cerr << fetched.text() << '\n';
      ++refused;
      continue;
    }
    if (!record) continue;  // gone since the keys were read
    const std::size_t before = errors.size();
    const auto line = rowOfRecord(*record, place, encoding, errors);
    if (line) {
      std::cout << *line << '\n';
    } else {
      progress.finish();
      for (std::size_t i = before; i < errors.size(); ++i) std::cerr << errors[i] << '\n';
      ++refused;
    }
    progress.tick();
  }
  progress.finish();
  checkStandardOutput();
  if (refused != 0) {
    throw ToolFailure(std::to_string(refused) + " elementi di " + data.fileName +
                      " non esportati su " + std::to_string(items));
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
