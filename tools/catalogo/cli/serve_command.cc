// catalogo servi [--indirizzo A] [--porta P]: the search page of the
// catalogue of the current folder, for a browser (see web/search_server.h).
//
// Serves until SIGINT, SIGTERM or SIGHUP: then stops taking connections,
// answers the requests under way and ends with exit status 0 (a second
// signal ends the process at once, exit status 2, and so does a search
// still under way once its deadline and the stop's grace have passed: a stop
// never waits for ever). Says on standard error
// where it listens, and logs there. Exit status 2 when the address is not
// an IP address (or localhost), or it can't listen there.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "base/library_lines.h"
#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogo/web/listen_address.h"
#include "catalogo/web/search_server.h"
#include "catalogo/web/server_log.h"

namespace indicizza::catalogo {
namespace {

struct ServeCommand {
  std::string address = "127.0.0.1";
  int port = 8080;
};

constexpr const char* kServeHelpFooter =
    "Serve la cartella corrente a un browser: un modulo di ricerca (la sintassi di cerca),\n"
    "20 risultati per pagina, una pagina per record, e GET /api/cerca?q=...&da=...&limite=...\n"
    "con il JSON di una pagina per gli script. Non scrive alcun file; segue opere.idb e\n"
    "opere.ddb quando indicizza li sostituisce. Per altre macchine: dietro un proxy inverso\n"
    "(vedi il README), oppure --indirizzo 0.0.0.0.\n"
    "Si ferma con Ctrl-C (SIGINT), SIGTERM o SIGHUP.\n"
    "Esempi:\n"
    "  catalogo servi\n"
    "  catalogo servi --porta 8090";

// Raised by the listening thread at the main thread when it is done.
constexpr int kListenerEnded = SIGUSR1;

// How much longer than its searches' deadline and its answers' grace a stop
// may take before the process ends without waiting.
constexpr auto kStopMargin = std::chrono::seconds(1);

timespec secondsOf(std::chrono::milliseconds duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
  return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Why a port can't be listened on, for the failure of bind: the system's
// text, and what it means here when that is not plain.
std::string listenFailure(int error) {
  std::string why = std::strerror(error);
  switch (error) {
    case EADDRINUSE: return why + " (la porta è di un altro programma)";
    case EADDRNOTAVAIL: return why + " (l'indirizzo non è di questa macchina)";
    case EACCES: return why + " (le porte sotto 1024 sono dell'amministratore)";
    default: return why;
  }
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "?";
  }
}

int runServe(const ServeCommand& command) {
  const ListenAddressParse parsed = parseListenAddress(command.address);
  if (!parsed.address) throw ToolFailure(parsed.error);
  const ListenAddress& address = *parsed.address;

  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals are taken only by the sigwait below.
  sigset_t waited;
  sigemptyset(&waited);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, kListenerEnded}) sigaddset(&waited, signal);
  pthread_sigmask(SIG_BLOCK, &waited, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  // The library's own lines (a damaged page, a file it cannot open) go to
  // the log while the server lives, each as a line of its own.
  const indicizza::LibraryLineRoute libraryLines(
      [](std::string_view line) { logLine("Libreria: " + std::string(line)); });

  // The limits of catalogo(1): the defaults of ServerSettings.
  const ServerSettings settings;
  SearchServer server(logLine, settings);
  if (const auto problem = server.checkDatabases()) {
    logLine(
        "Attenzione: le ricerche avranno una pagina d'errore finché il catalogo non si potrà "
        "leggere");
  }
  const std::string hostPort = address.urlHost + ":";
  const std::optional<int> port = server.bind(address, command.port);
  if (!port) {
    throw ToolFailure("Impossibile ascoltare su " + hostPort + std::to_string(command.port) + ": " +
                      listenFailure(errno));
  }
  std::error_code ignored;
  logLine("Catalogo di " + std::filesystem::current_path(ignored).string() +
          " in ascolto su http://" + hostPort + std::to_string(*port) + "/ (Ctrl-C per fermare)");
  if (!address.loopback) {
    logLine("Attenzione: l'indirizzo " + command.address +
            " non è locale: la pagina è raggiungibile da altre macchine");
  }

  const pthread_t mainThread = pthread_self();
  bool listened = false;
  std::thread listener([&] {
    listened = server.listen();
    pthread_kill(mainThread, kListenerEnded);
  });

  // Once asked to stop, the service ends within the time its searches may
  // take and the grace of their answers; past that (a worker held where no
  // deadline reaches), the process ends anyway.
  const timespec stopBound = secondsOf(settings.searchDeadline + kStopGrace + kStopMargin);
  bool stopping = false;
  for (;;) {
    int signal = stopping ? sigtimedwait(&waited, nullptr, &stopBound) : 0;
    if (!stopping && sigwait(&waited, &signal) != 0) continue;
    if (signal < 0 && errno == EAGAIN) {
      logLine("Servizio fermato senza attendere le richieste ancora in corso");
      std::_Exit(kExitFailure);
    }
    if (signal < 0) continue;
    if (signal == kListenerEnded) break;
    if (stopping) {
      logLine(std::string("Secondo segnale (") + signalName(signal) + "): fine immediata");
      std::_Exit(kExitFailure);
    }
    logLine(std::string("Segnale ") + signalName(signal) +
            ": il servizio si ferma dopo le richieste in corso");
    stopping = true;
    server.stop();
  }
  listener.join();
  if (!listened)
    throw ToolFailure("Il servizio non è partito su " + hostPort + std::to_string(*port));
  logLine("Servizio fermato");
  return kExitFound;
}

}  // namespace

Command addServeCommand(CLI::App& app) {
  auto command = std::make_shared<ServeCommand>();
  CLI::App* serve = addSubcommand(
      app, "servi", "Serve una pagina di ricerca per il browser (solo lettura)", kServeHelpFooter);
  serve->add_option("--indirizzo", command->address,
                    "Indirizzo su cui ascoltare: IPv4, IPv6 o localhost (predefinito 127.0.0.1)");
  serve
      ->add_option("--porta", command->port,
                   "Porta su cui ascoltare (predefinita 8080; 0: una libera)")
      ->check(CLI::Range(0, 65535));
  return {serve, [command] { return runServe(*command); }};
}

}  // namespace indicizza::catalogo
