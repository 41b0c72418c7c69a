// catalogo cerca QUERY...: searches opere.idb and opere.ddb of the current
// folder (read-only) for the query (see search/query_parser.h) and writes
// the page of results to standard output in the chosen format. The count
// line goes to standard output after the records in testo, to standard
// error in the other formats; with --conta only the number is written, on
// standard output. Notes on the query and the number of stale index
// entries met go to standard error. Exit status 0 when there is at least
// one result, 1 when there is none; 2 for a query that can't be parsed
// (naming the offending part) or a missing or unreadable database.
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "search/query_parser.h"
#include "search/search.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kSearchHelpFooter =
    "Ricerca (gli argomenti sono uniti da spazi in un'unica ricerca):\n"
    "  bach sonata          record con entrambe le parole (AND sottinteso; si può scrivere AND)\n"
    "  bach OR handel       record con l'una o l'altra; AND lega più di OR\n"
    "  NOT sonata           record senza la parola; anche -sonata, dopo -- o dentro\n"
    "                       un argomento: cerca bach -- -sonata, cerca 'bach -sonata'\n"
    "  '\"sonata in sol\"'    le parole in quest'ordine, una dopo l'altra nel testo del record\n"
    "  l'amore, w.a.        una parola con separatori è una frase come sopra\n"
    "  sonat*               ogni parola o codice che comincia per sonat\n"
    "  T4:sonata            solo nel campo T4 (T1-T7); C1:bwv1009 solo nel campo C1 (C1-C5)\n"
    "  '(bach OR handel) sonata'   le parentesi raggruppano\n"
    "  BWV1009              un termine con una cifra è un codice: l'indice tiene un\n"
    "                       codice fino al primo separatore, K.331 è cercato come frase\n"
    "OR, AND e NOT sono operatori solo in maiuscolo. Maiuscole, minuscole e accenti non\n"
    "contano (--esatto li fa contare): àáâãäå->a ç->c èéêë->e ìíîï->i ñ->n òóôõöø->o\n"
    "ùúûü->u ýÿ->y ð->d æ->ae þ->th ß->ss ª->a º->o, lo stesso per le maiuscole.\n"
    "Ogni record proposto dall'indice è riletto da opere.ddb: una voce superata non è\n"
    "un risultato, e il loro numero va sullo standard error.\n"
    "Formati (colonne fisse: numero, tipo, T1-T7, C1-C5; un campo vuoto resta una\n"
    "colonna vuota; testo in UTF-8):\n"
    "  testo   numero, tipo e i campi separati da ' | '; poi il conteggio\n"
    "  tsv     intestazione e righe separate da tabulazioni (\\t \\n \\r \\\\ nei valori)\n"
    "  csv     intestazione e righe separate da virgole (virgolette come in RFC 4180)\n"
    "  json    un oggetto JSON per riga: {\"numero\":49,\"tipo\":\"aR\",\"T1\":...,\"C5\":\"\"}\n"
    "In tsv, csv e json il conteggio va sullo standard error. I risultati sono in ordine\n"
    "di numero; con --limite si leggono solo i record della pagina, e il totale è un\n"
    "massimo ('al più') finché --conta non li controlla tutti.\n"
    "Esempi:\n"
    "  catalogo cerca perche\n"
    "  catalogo cerca 'bach OR handel' sonata --formato csv > sonate.csv\n"
    "  catalogo cerca bach --limite 20 --da 21\n"
    "  catalogo cerca --conta bwv*";

struct SearchCommand {
  std::vector<std::string> query;  // the arguments, joined by blanks
  std::string format = "testo";
  bool exact = false;
  bool countOnly = false;
  std::uint64_t from = 1;
  std::optional<std::uint64_t> limit;
};

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

int runSearch(const SearchCommand& command) {
  if (command.query.empty())
    throw ToolFailure("Argomento mancante: la ricerca. Aiuto: catalogo help cerca");
  const QueryParse parse = parseQuery(joined(command.query));
  if (!parse.query) throw ToolFailure(parse.error);
  for (const std::string& note : parse.query->notes) std::cerr << note << '\n';

  SearchDatabases databases;
  failOn(openSearchDatabases(databases));
  const OutputFormat format = formatOf(command.format);
  SearchOptions options;
  options.matching = command.exact ? Matching::kExact : Matching::kFolded;
  options.from = command.from;
  options.limit = command.limit;
  options.countOnly = command.countOnly;
  if (!command.countOnly) {
    std::cout << headerLine(format);
    options.onPageRecord = [&](const DecodedRecord& record) {
      std::cout << formattedRow(format, rowOf(record));
    };
  }
  SearchResult result;
  failOn(runQuery(databases, parse.query->root, options, result));

  if (command.countOnly) {
    std::cout << result.total << '\n';
  } else {
    std::cout.flush();
    (format == OutputFormat::kText ? std::cout : std::cerr) << countLine(result, command) << '\n';
  }
  std::cout.flush();
  if (result.staleEntries != 0) std::cerr << staleNote(result.staleEntries) << '\n';
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
  return result.total == 0 ? kExitNotFound : kExitFound;
}

}  // namespace

Command addSearchCommand(CLI::App& app, const std::vector<std::string>& afterMark) {
  auto command = std::make_shared<SearchCommand>();
  CLI::App* search = addSubcommand(
      app, "cerca", "Cerca i record: parole, codici, frasi, prefissi, OR, NOT", kSearchHelpFooter);
  search->add_option("RICERCA", command->query, "Parole, codici e operatori (vedi sotto)");
  addFormatOption(*search, command->format);
  search->add_flag("--conta", command->countOnly, "Scrive solo il numero dei record trovati");
  search->add_option("--limite", command->limit, "Mostra al più N record")
      ->check(CLI::PositiveNumber);
  search->add_option("--da", command->from, "Comincia dal risultato N (1 il primo)")
      ->check(CLI::PositiveNumber);
  search->add_flag("--esatto", command->exact,
                   "Termini cercati esattamente come li tiene l'indice");
  return {search, [command, &afterMark] {
            command->query.insert(command->query.end(), afterMark.begin(), afterMark.end());
            return runSearch(*command);
          }};
}

}  // namespace indicizza::catalogo
