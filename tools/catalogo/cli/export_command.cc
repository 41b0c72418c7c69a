#include "catalogo/cli/export_command.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "base/item_walk.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/progress.h"
#include "catalogue/read_only_database.h"
#include "catalogo/cli/tool_failure.h"
#include "records/data_database.h"

namespace indicizza::catalogo {
namespace {

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

}  // namespace

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
  std::cout.flush();
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
  if (refused != 0) {
    throw ToolFailure(std::to_string(refused) + " elementi di " + data.fileName +
                      " non esportati su " + std::to_string(items));
  }
  return kExitFound;
}

}  // namespace indicizza::catalogo
