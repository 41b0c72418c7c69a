#include "catalogo/search_command.h"

#include <cstdio>
#include <map>

#include "catalogo/exit_status.h"
#include "catalogo/query_terms.h"
#include "catalogo/read_only_database.h"
#include "catalogo/record_display.h"
#include "index_store/index_database.h"
#include "records/data_database.h"
#include "run/console.h"

namespace indicizza::catalogo {
namespace {

// Record number -> the kind code its first entry carries.
using Matches = std::map<RecordNumber, KindCode>;

Matches matchesOf(const std::vector<IndexEntry>& entries) {
  Matches matches;
  for (const IndexEntry& entry : entries) matches.emplace(entry.recordNumber, entry.kindCode);
  return matches;
}

// Keeps the matches whose number is among `entries` too.
void narrow(Matches& matches, const std::vector<IndexEntry>& entries) {
  const Matches other = matchesOf(entries);
  std::erase_if(matches, [&](const auto& match) { return !other.contains(match.first); });
}

}  // namespace

int runSearch(const std::vector<std::string>& arguments) {
  std::vector<std::string> terms;
  for (const std::string& argument : arguments) {
    for (std::string& term : queryTerms(argument)) terms.push_back(std::move(term));
  }

  ReadOnlyDatabase index = openReadOnly(kIndexDatabaseFileName);
  ReadOnlyDatabase data = openReadOnly(kDataDatabaseFileName);
  Matches matches = matchesOf(fetchEntries(index, terms.front()));
  for (std::size_t i = 1; i < terms.size() && !matches.empty(); ++i) {
    narrow(matches, fetchEntries(index, terms[i]));
  }
  if (matches.empty()) {
    reportLine("Nessun record trovato");
    return kExitNotFound;
  }

  const ScrambleKey key = buildScrambleKey();
  for (const auto& [number, kindCode] : matches) {
    const std::optional<DecodedRecord> record = fetchRecord(data, number, key);
    if (record) {
      reportLine(summaryLine(*record, kindCode));
    } else {
      char line[64];
      std::snprintf(line, sizeof line, "%6d  %-2s  (record assente da opere.ddb)", number,
                    kindCodeText(kindCode).c_str());
      reportLine(line);
    }
  }
  reportLine(std::to_string(matches.size()) +
             (matches.size() == 1 ? " record trovato" : " record trovati"));
  return kExitFound;
}

}  // namespace indicizza::catalogo
