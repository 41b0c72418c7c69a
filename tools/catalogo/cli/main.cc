// catalogo: the companion of the indexer. Looks things up in, shows, checks
// and converts the catalogue files of the current folder (noused.txt,
// opere.cry, opere.ddb, opere.idb) with the same scrambling key and rules as
// the indexer; the indexer's own behaviour is not changed by it.
//
// Exit status: 0 done/found, 1 not found or disagreements, 2 error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogo/cli/create_database_command.h"
#include "catalogo/cli/decode_command.h"
#include "catalogo/cli/encode_command.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/export_command.h"
#include "catalogo/cli/help_texts.h"
#include "catalogo/cli/search_command.h"
#include "catalogo/cli/serve_command.h"
#include "catalogo/cli/show_command.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogo/cli/verify_command.h"
#include "version.h"

namespace {

using namespace indicizza;
using namespace indicizza::catalogo;

// Whether `argument` is written as an option (and not as a negative
// number, which CLI11 takes as a value).
bool looksLikeOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9');
}

// The Italian message for a command-line error; CLI11's own text (English)
// follows it as the detail. An unknown option or command is named.
std::string usageFailure(const CLI::App* app, const CLI::Error& error) {
  const std::string help = ". Aiuto: " + app->get_name() + " help\n";
  const std::vector<std::string> left = app->remaining(true);
  for (const std::string& argument : left) {
    if (argument == "--") break;
    if (looksLikeOption(argument)) {
      std::string text = "Opzione sconosciuta: " + argument;
      if (argument[1] != '-') {
        text += " (per escludere una parola: -- " + argument + ", oppure NOT " +
                argument.substr(1) + ")";
      }
      return text + help;
    }
  }
  if (app->get_subcommands().empty()) {
    if (!left.empty()) return "Comando sconosciuto: " + left.front() + help;
    return std::string("Comando mancante") + help;
  }
  std::string text;
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    text = "Argomento mancante";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    text = "Argomenti in più";
  } else {
    text = "Argomenti non validi";
  }
  return text + " (" + error.what() + ")" + help;
}

// Labels and groups of the help text, in Italian.
void italianHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPZIONI");
  formatter->label("SUBCOMMAND", "COMANDO");
  formatter->label("SUBCOMMANDS", "COMANDI");
  formatter->label("Positionals", "Argomenti");
  formatter->label("REQUIRED", "OBBLIGATORIO");
  formatter->label("TEXT", "TESTO");
  formatter->column_width(24);
  app.option_defaults()->group("Opzioni");
  app.set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
}

const std::vector<std::string> kFormatNames = {"testo", "tsv", "csv", "json"};

void addFormatOption(CLI::App& command, std::string& format) {
  command.add_option("--formato", format, "Formato: testo (predefinito), tsv, csv o json")
      ->check(CLI::IsMember(kFormatNames));
}

OutputFormat formatOf(const std::string& name) {
  return outputFormatNamed(name).value_or(OutputFormat::kText);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Consulta, verifica e converte i file del catalogo nella cartella corrente.",
               "catalogo");
  italianHelp(app);
  app.require_subcommand(1);
  app.failure_message(usageFailure);
  app.footer(kMainHelpFooter);
  app.set_version_flag("--version", std::string("catalogo ") + indicizza::kVersion,
                       "Mostra la versione ed esce");

  SearchCommand searchCommand;
  std::string searchFormat = "testo";
  bool exact = false;
  auto* search =
      app.add_subcommand("cerca", "Cerca i record: parole, codici, frasi, prefissi, OR, NOT");
  search->add_option("RICERCA", searchCommand.query, "Parole, codici e operatori (vedi sotto)");
  addFormatOption(*search, searchFormat);
  search->add_flag("--conta", searchCommand.countOnly, "Scrive solo il numero dei record trovati");
  search->add_option("--limite", searchCommand.limit, "Mostra al più N record")
      ->check(CLI::PositiveNumber);
  search->add_option("--da", searchCommand.from, "Comincia dal risultato N (1 il primo)")
      ->check(CLI::PositiveNumber);
  search->add_flag("--esatto", exact, "Termini cercati esattamente come li tiene l'indice");
  search->footer(kSearchHelpFooter);

  std::vector<std::string> numbers;
  std::string showFormat = "testo";
  auto* show = app.add_subcommand("mostra", "Mostra campo per campo i record di opere.ddb");
  show->add_option("NUMERO", numbers, "Numeri dei record")->required();
  addFormatOption(*show, showFormat);
  show->footer(kShowHelpFooter);

  auto* create =
      app.add_subcommand("crea-db", "Crea opere.ddb vuoto (mai sopra un file esistente)");
  create->footer(kCreateHelpFooter);

  EncodeCommand encodeCommand;
  bool latin1Input = false;
  auto* encode =
      app.add_subcommand("cifra", "Scrive opere.cry da un file di campi separati da tabulazioni");
  encode
      ->add_option("FILE", encodeCommand.input,
                   "File .tsv (- per lo standard input): intestazione con i nomi dei campi, poi un "
                   "record per riga")
      ->required();
  encode->add_flag("--latin1", latin1Input, "Il file è in Latin-1 (altrimenti UTF-8)");
  encode->add_flag("--ammetti-doppi", encodeCommand.allowRepeatedNumbers,
                   "Accetta righe con lo stesso numero di record (vale l'ultima)");
  encode->add_flag(
      "--sostituisci", encodeCommand.replaceTypographic,
      "Sostituisce trattini, virgolette, puntini e spazi tipografici con caratteri Latin-1");
  encode->footer(kEncodeHelpFooter);

  bool latin1Output = false;
  auto* decode = app.add_subcommand(
      "decifra", "Scrive opere.cry sull'uscita standard come campi separati da tabulazioni");
  decode->add_flag("--latin1", latin1Output, "Scrive in Latin-1 (altrimenti UTF-8)");
  decode->footer(kDecodeHelpFooter);

  bool latin1Export = false;
  auto* exportRecords = app.add_subcommand(
      "esporta", "Scrive ogni record di opere.ddb sull'uscita standard nella forma di cifra");
  exportRecords->add_flag("--latin1", latin1Export, "Scrive in Latin-1 (altrimenti UTF-8)");
  exportRecords->footer(kExportHelpFooter);

  auto* verify = app.add_subcommand("verifica",
                                    "Controlla che opere.idb corrisponda a opere.ddb e noused.txt");
  verify->footer(kVerifyHelpFooter);

  ServeCommand serveCommand;
  auto* serve =
      app.add_subcommand("servi", "Serve una pagina di ricerca per il browser (solo lettura)");
  serve->add_option("--indirizzo", serveCommand.address,
                    "Indirizzo su cui ascoltare (predefinito 127.0.0.1)");
  serve
      ->add_option("--porta", serveCommand.port,
                   "Porta su cui ascoltare (predefinita 8080; 0: una libera)")
      ->check(CLI::Range(0, 65535));
  serve->footer(kServeHelpFooter);

  std::string helpTopic;
  auto* help = app.add_subcommand("help", "Mostra l'aiuto di catalogo o di un comando");
  help->add_option("COMANDO", helpTopic, "Il comando di cui mostrare l'aiuto");
  help->footer(kHelpHelpFooter);

  for (CLI::App* command :
       {search, show, create, encode, decode, exportRecords, verify, serve, help}) {
    command->group("Comandi");
    command->set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
  }

  // Everything after "--" in a search is query text, even when it starts
  // with '-' (CLI11 hands "--" back to the main command once a positional
  // has a value, so the split is made here).
  std::vector<std::string> afterMark;
  int parsedArguments = argc;
  if (argc > 1 && std::string_view(argv[1]) == search->get_name()) {
    for (int i = 2; i < argc; ++i) {
      if (std::string_view(argv[i]) != "--") continue;
      afterMark.assign(argv + i + 1, argv + argc);
      parsedArguments = i;
      break;
    }
  }
  try {
    app.parse(parsedArguments, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? kExitFound : kExitFailure;
  }

  try {
    if (*search) {
      searchCommand.query.insert(searchCommand.query.end(), afterMark.begin(), afterMark.end());
      if (searchCommand.query.empty())
        throw ToolFailure("Argomento mancante: la ricerca. Aiuto: catalogo help cerca");
      searchCommand.format = formatOf(searchFormat);
      searchCommand.matching = exact ? Matching::kExact : Matching::kFolded;
      return runSearch(searchCommand);
    }
    if (*show) return runShow(numbers, formatOf(showFormat));
    if (*create) return runCreateDatabase();
    if (*encode) {
      encodeCommand.encoding = latin1Input ? TextEncoding::kLatin1 : TextEncoding::kUtf8;
      return runEncode(encodeCommand);
    }
    if (*decode) return runDecode(latin1Output ? TextEncoding::kLatin1 : TextEncoding::kUtf8);
    if (*exportRecords)
      return runExport(latin1Export ? TextEncoding::kLatin1 : TextEncoding::kUtf8);
    if (*verify) return runVerify();
    if (*serve) return runServe(serveCommand);
    if (*help) {
      if (helpTopic.empty()) {
        // app.help() would show the help of the command given: "help".
        std::cout << app.get_formatter()->make_help(&app, app.get_name(),
                                                    CLI::AppFormatMode::Normal);
        return kExitFound;
      }
      for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == helpTopic) {
          std::cout << command->help(app.get_name());
          return kExitFound;
        }
      }
      throw ToolFailure("Comando sconosciuto: " + helpTopic + ". Aiuto: catalogo help");
    }
  } catch (const ToolFailure& failure) {
    std::fflush(stdout);
    std::cout.flush();
    std::cerr << failure.what() << '\n';
    return kExitFailure;
  }
  return kExitFailure;
}
