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
#include <vector>

#include "catalogo/create_database_command.h"
#include "catalogo/decode_command.h"
#include "catalogo/encode_command.h"
#include "catalogo/exit_status.h"
#include "catalogo/search_command.h"
#include "catalogo/show_command.h"
#include "catalogo/tool_failure.h"
#include "catalogo/verify_command.h"
#include "run/console.h"
#include "version.h"

namespace {

using namespace indicizza::catalogo;

// The Italian message for a command-line error; CLI11's own text (English)
// follows it as the detail.
std::string usageFailure(const CLI::App* app, const CLI::Error& error) {
  std::string text;
  if (dynamic_cast<const CLI::RequiredError*>(&error) && app->get_subcommands().empty()) {
    text = "Comando mancante o sconosciuto";
  } else if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    text = "Argomento mancante";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    text = "Argomenti in più";
  } else {
    text = "Argomenti non validi";
  }
  return text + " (" + error.what() + "). Aiuto: " + app->get_name() + " --help\n";
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
  app.option_defaults()->group("Opzioni");
  app.set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Consulta, verifica e converte i file del catalogo nella cartella corrente.",
               "catalogo");
  italianHelp(app);
  app.require_subcommand(1);
  app.failure_message(usageFailure);
  app.footer("Esito: 0 fatto o trovato, 1 nulla trovato o discordanze, 2 errore.");
  app.set_version_flag("--version", std::string("catalogo ") + indicizza::kVersion,
                       "Mostra la versione ed esce");

  std::vector<std::string> words;
  auto* search = app.add_subcommand("cerca", "Cerca in opere.idb i record che hanno tutte le parole");
  search->add_option("PAROLA", words, "Parola (maiuscole e minuscole uguali) o codice (esatto)")
      ->required();

  std::string number;
  auto* show = app.add_subcommand("mostra", "Mostra campo per campo un record di opere.ddb");
  show->add_option("NUMERO", number, "Numero del record")->required();

  auto* create = app.add_subcommand("crea-db", "Crea opere.ddb vuoto (mai sopra un file esistente)");

  std::string tsv;
  bool latin1Input = false;
  auto* encode = app.add_subcommand("cifra", "Scrive opere.cry da un file di campi separati da tabulazioni");
  encode->add_option("FILE", tsv, "File .tsv: intestazione con i nomi dei campi, poi un record per riga")
      ->required();
  encode->add_flag("--latin1", latin1Input, "Il file è in Latin-1 (altrimenti UTF-8)");

  bool latin1Output = false;
  auto* decode = app.add_subcommand("decifra", "Scrive opere.cry sull'uscita standard come campi separati da tabulazioni");
  decode->add_flag("--latin1", latin1Output, "Scrive in Latin-1 (altrimenti UTF-8)");

  auto* verify = app.add_subcommand("verifica", "Controlla che opere.idb corrisponda a opere.ddb e noused.txt");

  for (CLI::App* command : {search, show, create, encode, decode, verify}) {
    command->group("Comandi");
    command->set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? kExitFound : kExitFailure;
  }

  try {
    if (*search) return runSearch(words);
    if (*show) return runShow(number);
    if (*create) return runCreateDatabase();
    if (*encode) return runEncode(tsv, latin1Input ? TextEncoding::kLatin1 : TextEncoding::kUtf8);
    if (*decode) return runDecode(latin1Output ? TextEncoding::kLatin1 : TextEncoding::kUtf8);
    if (*verify) return runVerify();
  } catch (const ToolFailure& failure) {
    std::fflush(stdout);
    std::cerr << failure.what() << '\n';
    return kExitFailure;
  } catch (const indicizza::FatalStop&) {
    // A shared reading routine stopped; its message is out on standard output.
    return kExitFailure;
  }
  return kExitFailure;
}
