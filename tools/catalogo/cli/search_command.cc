#include "catalogo/cli/search_command.h"

#include <cstdio>
#include <iostream>

#include "catalogo/cli/exit_status.h"
#include "search/query_parser.h"
#include "search/search.h"
#include "catalogo/cli/tool_failure.h"

namespace indicizza::catalogo {
namespace {

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ' ';
    text += part;
  }
  return text;
}

std::string recordCount(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " record trovato" : " record trovati");
}

// The line that closes a listing: how many results, and which were shown.
std::string countLine(const SearchResult& result, const SearchCommand& command) {
  if (result.total == 0) return "Nessun record trovato";
  std::string line =
      result.exact() ? recordCount(result.total) : "al più " + recordCount(result.total);
  if (!result.exact()) {
    line += " (" + std::to_string(result.unchecked) +
            (result.unchecked == 1 ? " proposto dall'indice non ancora controllato"
                                   : " proposti dall'indice non ancora controllati") +
            " sul record: --conta dà il numero esatto)";
  }
  const bool paged = command.from > 1 || (command.limit && *command.limit < result.total);
  if (paged) {
    if (result.pageSize == 0) {
      line += ", nessuno dal " + std::to_string(command.from) + "°";
    } else {
      const std::uint64_t last = command.from + result.pageSize - 1;
      line += last == command.from
                  ? ", mostrato il " + std::to_string(last) + "°"
                  : ", mostrati " + std::to_string(command.from) + "-" + std::to_string(last);
    }
  }
  return line;
}

std::string staleNote(std::uint64_t stale) {
  return "Nota: " + std::to_string(stale) +
         (stale == 1
              ? " voce di opere.idb non vale più per il suo record ed è stata ignorata"
              : " voci di opere.idb non valgono più per il loro record e sono state ignorate") +
         " (record assente o senza il termine): 'catalogo verifica' le elenca; rimuovere opere.idb "
         "e rieseguire indicizza ricostruisce l'indice";
}

}  // namespace

int runSearch(const SearchCommand& command) {
  const QueryParse parse = parseQuery(joined(command.query));
  if (!parse.query) throw ToolFailure(parse.error);
  for (const std::string& note : parse.query->notes) std::cerr << note << '\n';

  SearchDatabases databases;
  failOn(openSearchDatabases(databases));
  SearchOptions options;
  options.matching = command.matching;
  options.from = command.from;
  options.limit = command.limit;
  options.countOnly = command.countOnly;
  if (!command.countOnly) {
    std::cout << headerLine(command.format);
    options.onPageRecord = [&](const DecodedRecord& record) {
      std::cout << formattedRow(command.format, rowOf(record));
    };
  }
  SearchResult result;
  failOn(runQuery(databases, parse.query->root, options, result));

  if (command.countOnly) {
    std::cout << result.total << '\n';
  } else {
    std::cout.flush();
    (command.format == OutputFormat::kText ? std::cout : std::cerr)
        << countLine(result, command) << '\n';
  }
  std::cout.flush();
  if (result.staleEntries != 0) std::cerr << staleNote(result.staleEntries) << '\n';
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
  return result.total == 0 ? kExitNotFound : kExitFound;
}

}  // namespace indicizza::catalogo
