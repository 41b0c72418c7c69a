// catalogo cerca QUERY...: searches opere.idb and opere.ddb of the current
// folder (read-only) for the query (see search/query_parser.h) and writes
// the page of results to standard output in the chosen format and order
// (by relevance unless --ordina says otherwise). In testo, when the full
// results are fewer than the page, the partial ones follow under their own
// count line. The count line goes to standard output after the records in testo, to standard
// error in the other formats; with --conta only the number is written, on
// standard output. Notes on the query and the number of stale index
// entries met go to standard error. Exit status 0 when there is at least
// one result, 1 when there is none; 2 for a query that can't be parsed
// (naming the offending part) or a missing or unreadable database.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/facet_lines.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/text/terminal_text.h"
#include "search/presentation/reading_notes.h"
#include "search/presentation/result_formats.h"
#include "search/query/query_help.h"
#include "search/query/query_parser.h"
#include "search/search.h"

namespace indicizza::catalogo {
namespace {

// Help lines are cut to this many characters; the examples of a form of
// query take the first kExampleColumn of them.
constexpr std::size_t kHelpWidth = 90;
constexpr std::size_t kExampleColumn = 24;

// When the full results are fewer than this (or than --limite), results
// with some of the query's words follow them, in testo.
constexpr std::uint64_t kPartialsUpTo = 20;

// What `catalogo help cerca` says of the command itself, after the query
// language.
std::string searchCommandHelp() {
  const std::string ranked = std::to_string(SearchLimits{}.maxRankedRecords);
  const std::string ordered = std::to_string(SearchLimits{}.maxFieldOrdered);
  const std::string counted = std::to_string(SearchOptions{}.maxCountedRecords);
  const std::string partials = std::to_string(kPartialsUpTo);
  return "-sonata come argomento a sé va dopo --, oppure dentro un argomento tra apici: cerca "
         "bach -- -sonata, cerca 'bach -sonata'. --esatto fa contare maiuscole e accenti: i "
         "termini "
         "sono cercati come li tiene l'indice.\n"
         "Ogni record proposto dall'indice è riletto da opere.ddb: una voce superata non è un "
         "risultato, e il loro numero va sullo standard error.\n"
         "Formati (colonne fisse: numero, tipo, T1-T7, C1-C5; un campo vuoto resta una colonna "
         "vuota; testo in UTF-8):\n"
         "  testo   numero, tipo e i campi separati da ' | '; poi il conteggio\n"
         "  tsv     intestazione e righe separate da tabulazioni (\\t \\n \\r \\\\ nei valori)\n"
         "  csv     intestazione e righe separate da virgole (virgolette come in RFC 4180); un "
         "valore che comincia con = + - @, una tabulazione o un ritorno a capo ha davanti un "
         "apice, perché un foglio di calcolo non lo prenda per una formula (--csv-grezzo lo "
         "scrive com'è)\n"
         "  json    un oggetto JSON per riga: "
         "{\"numero\":49,\"tipo\":\"aR\",\"T1\":...,\"C5\":\"\"}\n"
         "In tsv, csv e json il conteggio va sullo standard error.\n"
         "Ordine (--ordina): rilevanza (il predefinito: pesano di più le parole rare e quelle "
         "trovate in T1 e T4, poi in T2, T3 e T5, poi in T6 e T7), numero, oppure T1-T7 (il testo "
         "del campo, senza maiuscole né accenti, poi il numero: tutti i risultati, fino a una "
         "pagina che finisce entro il " +
         ordered + "°). Per rilevanza, con più di " + ranked +
         " record proposti dall'indice si ordinano i primi " + ranked +
         " per numero, e gli altri li seguono in ordine di "
         "numero.\n"
         "In testo, quando i record con tutte le parole sono meno di --limite (o di " +
         partials +
         "), seguono "
         "quelli con alcune delle parole, contati a parte ('Risultati parziali') e nel conteggio "
         "finale; mai quelli con una parola esclusa da -.\n"
         "Il totale è esatto: viene dalle liste dell'indice quando opere.idb è stato scritto dopo "
         "l'ultima modifica di opere.ddb, altrimenti rileggendo i record; con --limite, oltre " +
         counted +
         " record da rileggere è una stima ('circa'), e --conta dà il numero esatto.\n"
         "Esempi:\n"
         "  catalogo cerca perche\n"
         "  catalogo cerca 'bach OR handel' sonata --formato csv > sonate.csv\n"
         "  catalogo cerca bach --limite 20 --da 21\n"
         "  catalogo cerca --conta 'bwv*'";
}

// The text after the options of `catalogo help cerca`: the query language
// (search/query_help.h), laid out for a terminal, then the command's own.
std::string searchHelpFooter() {
  std::string text = wrapped(
      "Ricerca (gli argomenti sono uniti da spazi in un'unica ricerca; tra apici per la shell "
      "quando contiene \" ' ( ) *):",
      kHelpWidth);
  const std::string column(kExampleColumn, ' ');
  for (const QueryHelpRow& row : queryHelpRows()) {
    std::string examples = "  ";
    for (std::string_view example : row.examples) {
      if (examples.size() > 2) examples += ", ";
      examples += example;
    }
    if (examples.size() + 1 > kExampleColumn) {
      text += examples + "\n" + column;
    } else {
      text += examples + std::string(kExampleColumn - examples.size(), ' ');
    }
    text += wrapped(row.meaning, kHelpWidth, column);
  }
  for (const std::string& note : queryHelpNotes()) text += wrapped(note, kHelpWidth);
  const std::string commandHelp = searchCommandHelp();
  const std::string_view all = commandHelp;
  std::string help;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = all.find('\n', at);
    const std::string_view line = all.substr(at, end - at);
    help += line.starts_with("  ") ? std::string(line) + "\n" : wrapped(line, kHelpWidth);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  help.pop_back();  // CLI11 ends the footer itself
  return text + help;
}

struct SearchCommand {
  std::vector<std::string> query;  // the arguments, joined by blanks
  std::string format = "testo";
  bool csvAsIs = false;  // --csv-grezzo
  std::string order = "rilevanza";
  bool exact = false;
  bool countOnly = false;
  bool facets = false;  // --faccette
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

// Said when the index could not give the total because opere.ddb changed
// after opere.idb was written.
constexpr std::string_view kRecountNote =
    "Nota: opere.ddb è cambiato dopo l'ultima scrittura di opere.idb: i totali si contano "
    "rileggendo i record; rieseguire indicizza li rende di nuovo immediati";

std::string staleNote(std::uint64_t stale) {
  return "Nota: " + std::to_string(stale) +
         (stale == 1
              ? " voce di opere.idb non vale più per il suo record ed è stata ignorata"
              : " voci di opere.idb non valgono più per il loro record e sono state ignorate") +
         " (record assente o senza il termine): 'catalogo verifica' le elenca; rimuovere opere.idb "
         "e rieseguire indicizza ricostruisce l'indice";
}

// The facets of the search's results, counted by the search (see
// facet_lines.h), with the labels it loaded.
std::string facetsOf(const SearchAnswer& answer) {
  failOn(answer.facetsRead);
  failOn(answer.labelsRead);
  return facetLines(*answer.facets, answer.meant.ranText, *answer.labels);
}

// Whether the words a query matched may be marked in bold: standard output
// is a terminal, and neither NO_COLOR nor TERM=dumb asks for plain text.
bool boldOnStandardOutput() {
  const char* term = std::getenv("TERM");
  const char* noColor = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && (noColor == nullptr || *noColor == '\0') &&
         term != nullptr && std::string_view(term) != "dumb";
}

int runSearch(const SearchCommand& command) {
  if (command.query.empty())
    throw ToolFailure("Argomento mancante: la ricerca. Aiuto: catalogo help cerca");
  const std::string text = joined(command.query);
  const QueryParse parse = parseQuery(text);
  // Both may quote the query, which may hold control bytes.
  if (!parse.query) throw ToolFailure(terminalText(parse.error));

  SearchDatabases databases;
  failOn(openSearchDatabases(databases));
  SearchSideFiles sideFiles;
  std::shared_ptr<const QueryVocabulary> vocabulary;
  failOn(sideFiles.vocabulary(vocabulary));
  const OutputFormat format = formatOf(command.format);
  SearchRequest request{text, *parse.query, sideFiles, {}, std::nullopt};
  SearchOptions& options = request.options;
  options.matching = command.exact ? Matching::kExact : Matching::kFolded;
  options.from = command.from;
  options.limit = command.limit;
  options.countOnly = command.countOnly;
  options.order = *sortOrderNamed(command.order);
  // --conta is exact whatever it costs; a listing counts within its budget.
  if (command.countOnly) options.maxCountedRecords = UINT64_MAX;
  // Only a person reads the partial results apart; a script gets the full ones.
  if (format == OutputFormat::kText) options.partialsUpTo = command.limit.value_or(kPartialsUpTo);
  if (command.facets) request.facetRecords = kExactFacetRecords;
  SearchAnswer answer;
  const SearchResult& result = answer.result;
  const MeantSearch& meant = answer.meant;
  // How the query was read goes to standard error before the first record
  // (the records come as they are found), or after the search.
  bool announced = false;
  const auto announce = [&] {
    if (announced) return;
    announced = true;
    std::cout.flush();
    for (const std::string& note : noteTexts(meant.notes)) std::cerr << terminalText(note) << '\n';
    if (meant.ranSuggestion) {
      std::cerr << terminalText(correctedResultsLine(meant, text)) << '\n';
    } else if (meant.suggestion) {
      std::cerr << terminalText(suggestionLine(*meant.suggestion)) << '\n';
    }
  };
  const bool bold = format == OutputFormat::kText && boldOnStandardOutput();
  if (!command.countOnly) {
    std::cout << headerLine(format);
    options.onPageRecord = [&](const DecodedRecord& record) {
      announce();
      std::cout << (bold ? highlightedTextRow(rowOf(record),
                                              markedWordsOf(answer, record, options.matching))
                         : formattedRow(format, rowOf(record), csvValuesOf(command.csvAsIs)));
    };
    options.onPartialsBegin = [&] {
      announce();
      std::cout << partialLine(result) << ":\n";
    };
  }
  failOn(searchCatalogue(databases, request, answer));
  announce();

  if (command.countOnly) {
    std::cout << result.total << '\n';
  } else {
    std::cout.flush();
    (format == OutputFormat::kText ? std::cout : std::cerr)
        << countLine(result, command.from) << '\n';
  }
  // A person who found nothing at all gets ideas of what to try.
  if (format == OutputFormat::kText && !command.countOnly && result.total == 0 &&
      result.partialTotal == 0) {
    std::cerr << "Qualche idea:\n";
    for (const std::string& tip : nothingFoundTips()) std::cerr << "  - " << tip << '\n';
  }
  if (command.facets && result.total != 0) {
    (format == OutputFormat::kText ? std::cout : std::cerr) << facetsOf(answer);
  }
  std::cout.flush();
  if (!databases.indexCurrent) std::cerr << kRecountNote << '\n';
  if (result.staleEntries != 0) std::cerr << staleNote(result.staleEntries) << '\n';
  checkStandardOutput();
  return result.total == 0 ? kExitNotFound : kExitFound;
}

}  // namespace

Command addSearchCommand(CLI::App& app, const std::vector<std::string>& afterMark) {
  auto command = std::make_shared<SearchCommand>();
  CLI::App* search = addSubcommand(
      app, "cerca", "Cerca i record: parole, codici, frasi, prefissi, OR, NOT", searchHelpFooter());
  search->add_option("RICERCA", command->query, "Parole, codici e operatori (vedi sotto)");
  addFormatOption(*search, command->format, command->csvAsIs);
  search->add_flag("--conta", command->countOnly, "Scrive solo il numero dei record trovati");
  search->add_option("--limite", command->limit, "Mostra al più N record")
      ->check(wholeNumberFromOne());
  search->add_option("--da", command->from, "Comincia dal risultato N (1 il primo)")
      ->check(wholeNumberFromOne());
  search
      ->add_option("--ordina", command->order, "Ordine: rilevanza (predefinito), numero, T1 ... T7")
      ->check(CLI::IsMember(sortOrderNames()));
  search->add_flag("--faccette", command->facets,
                   "Conta i risultati per tipo, compositore (T1) e periodo (T3), con la ricerca "
                   "che restringe a ciascuno");
  search->add_flag("--esatto", command->exact,
                   "Termini cercati esattamente come li tiene l'indice");
  return {search, [command, &afterMark] {
            command->query.insert(command->query.end(), afterMark.begin(), afterMark.end());
            return runSearch(*command);
          }};
}

}  // namespace indicizza::catalogo
