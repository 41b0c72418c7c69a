#include "catalogo/web/search_server.h"

#include <httplib.h>

#include <charconv>
#include <new>

#include "catalogo/web/page_frame.h"
#include "catalogo/web/record_page.h"
#include "catalogo/web/search_page.h"
#include "search/database_pool.h"
#include "search/query_parser.h"
#include "search/record_terms.h"
#include "search/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;
constexpr int kNotFound = 404;
constexpr int kMethodNotAllowed = 405;
constexpr int kInternalError = 500;
constexpr int kUnavailable = 503;

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kCss = "text/css; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";

// Idle keep-alive connections hold a worker thread; they are let go soon,
// and a stop waits for them at most this long.
constexpr time_t kKeepAliveSeconds = 2;
// Requests one connection may carry: a client that opens fewer connections
// meets a full listen queue less often (the library's queue is short).
constexpr std::size_t kKeepAliveRequests = 100;
// The queue of connections not yet accepted. The library listens with a
// queue of 5, so that a sixth client connecting at once (a browser opens
// six) waited a second for its connection to be tried again.
constexpr int kListenQueue = 128;
// Requests are GETs: a body is never read, so a large one is refused.
constexpr std::size_t kMaxBodyBytes = 4096;

// Pages are made here and link only to themselves: nothing is loaded from
// elsewhere, no script runs, no other site may frame them.
httplib::Headers safetyHeaders() {
  return {{"X-Content-Type-Options", "nosniff"},
          {"Content-Security-Policy",
           "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
           "frame-ancestors 'none'; base-uri 'none'"},
          {"Referrer-Policy", "no-referrer"}};
}

// From `path` back to the root of the site, for the links of an error
// page: "" for /x, "../" for /x/y.
std::string toRootOf(const std::string& path) {
  std::string toRoot;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') toRoot += "../";
  }
  return toRoot;
}

// A whole positive number from `text` (digits only) up to `highest`.
std::optional<std::uint64_t> boundedNumber(const std::string& text, std::uint64_t highest) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 1 || value > highest) return std::nullopt;
  return value;
}

// What a search request asks for, or why it can't be served (a 400).
struct SearchRequest {
  std::string query;
  std::uint64_t from = 1;
  std::uint64_t limit = kResultsPerPage;
  std::string error;
};

SearchRequest searchRequestOf(const httplib::Request& request, bool limitAllowed) {
  SearchRequest wanted;
  wanted.query = request.get_param_value("q");
  if (wanted.query.size() > kMaxQueryBytes) {
    wanted.error = "Ricerca troppo lunga: " + std::to_string(wanted.query.size()) +
                   " byte, al massimo " + std::to_string(kMaxQueryBytes);
    return wanted;
  }
  if (request.has_param("da")) {
    const auto from = boundedNumber(request.get_param_value("da"), kLastBrowsableResult);
    if (!from) {
      wanted.error = "Parametro da non valido: un numero da 1 a " +
                     std::to_string(kLastBrowsableResult) + " (si possono scorrere solo i primi " +
                     std::to_string(kLastBrowsableResult) + " risultati)";
      return wanted;
    }
    wanted.from = *from;
  }
  if (limitAllowed && request.has_param("limite")) {
    const auto limit = boundedNumber(request.get_param_value("limite"), kMaxApiLimit);
    if (!limit) {
      wanted.error =
          "Parametro limite non valido: un numero da 1 a " + std::to_string(kMaxApiLimit);
      return wanted;
    }
    wanted.limit = *limit;
  }
  return wanted;
}

// What a page says when the catalogue's files can't be read (`failure`).
std::string unreadable(const std::string& failure) {
  return "Il catalogo non si può leggere ora: " + failure;
}

void notFound(const httplib::Request& request, httplib::Response& response) {
  response.status = kNotFound;
  response.set_content(errorPage(kNotFound, "Nessuna pagina a questo indirizzo: " + request.path,
                                 toRootOf(request.path)),
                       kHtml);
}

// The outcome of one search: a result, or the status and message of why not.
struct SearchOutcome {
  int status = kOk;
  std::string error;
  std::vector<std::string> notes;
  std::optional<SearchResult> result;
  SearchOptions options;
};

}  // namespace

struct SearchServer::Service {
  explicit Service(std::function<void(const std::string&)> logLine)
      : log(std::move(logLine)), pool(log) {}

  // Runs `work` (which returns a Status) on a leased handle pair. A
  // database that can't be opened or read, or memory running out, is a 503
  // with a log line: the message is returned. The pair is then dropped, not
  // kept for the next request.
  template <typename Work>
  std::optional<std::string> withDatabases(const std::string& what, Work work) {
    Status done;
    try {
      std::optional<DatabasePool::Lease> lease;
      done = pool.acquire(lease);
      if (done.ok()) {
        try {
          done = work(lease->databases());
        } catch (...) {
          lease->discard();
          throw;
        }
        if (!done.ok()) lease->discard();
      }
    } catch (const std::bad_alloc&) {
      log(what + ": memoria insufficiente");
      return std::string("Memoria insufficiente");
    }
    if (done.ok()) return std::nullopt;
    log(what + ": " + done.text());
    return done.text();
  }

  SearchOutcome search(const SearchRequest& wanted) {
    SearchOutcome outcome;
    const QueryParse parse = parseQuery(wanted.query);
    if (!parse.query) {
      outcome.status = kBadRequest;
      outcome.error = parse.error;
      return outcome;
    }
    outcome.notes = parse.query->notes;
    outcome.options.from = wanted.from;
    outcome.options.limit = wanted.limit;
    const auto failure =
        withDatabases("Ricerca '" + wanted.query + "'", [&](SearchDatabases& databases) {
          return runQuery(databases, parse.query->root, outcome.options,
                          outcome.result.emplace());
        });
    if (failure) {
      outcome.result.reset();
      outcome.status = kUnavailable;
      outcome.error = unreadable(*failure);
    }
    return outcome;
  }

  void searchPageRequest(const httplib::Request& request, httplib::Response& response) {
    const SearchRequest wanted = searchRequestOf(request, false);
    SearchPageContent content;
    content.query = wanted.query;
    content.from = wanted.from;
    SearchOutcome outcome;
    if (!wanted.error.empty()) {
      outcome.status = kBadRequest;
      outcome.error = wanted.error;
    } else if (wanted.query.find_first_not_of(' ') != std::string::npos) {
      outcome = search(wanted);
    }
    content.error = outcome.error;
    content.notes = outcome.notes;
    if (outcome.result) content.result = &*outcome.result;
    response.status = outcome.status;
    response.set_content(searchPage(content), kHtml);
  }

  void apiRequest(const httplib::Request& request, httplib::Response& response) {
    SearchRequest wanted = searchRequestOf(request, true);
    if (wanted.error.empty() && wanted.query.find_first_not_of(' ') == std::string::npos) {
      wanted.error = "Parametro q mancante: la ricerca";
    }
    SearchOutcome outcome;
    if (!wanted.error.empty()) {
      outcome.status = kBadRequest;
      outcome.error = wanted.error;
    } else {
      outcome = search(wanted);
    }
    response.status = outcome.status;
    if (outcome.result) {
      response.set_content(jsonPage(*outcome.result, outcome.options), kJson);
    } else {
      response.set_content("{\"errore\":" + jsonString(outcome.error) + "}", kJson);
    }
  }

  void recordRequest(const httplib::Request& request, httplib::Response& response) {
    const std::string& text = request.matches[1];
    RecordNumber number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
      notFound(request, response);
      return;
    }
    std::optional<DecodedRecord> record;
    std::vector<std::string> terms;
    const auto failure = withDatabases("Record " + text, [&](SearchDatabases& databases) {
      Status read = fetchWholeRecord(databases.data, number, databases.key, record);
      if (read.ok() && record) read = termsIndexedFor(databases.index, *record, terms);
      return read;
    });
    if (failure) {
      response.status = kUnavailable;
      response.set_content(
          errorPage(kUnavailable, unreadable(*failure), "../"), kHtml);
    } else if (!record) {
      response.status = kNotFound;
      response.set_content(errorPage(kNotFound, "Record " + text + " non trovato", "../"), kHtml);
    } else {
      response.set_content(recordPage(*record, terms), kHtml);
    }
  }

  // An answer that threw: a 500 page and a log line.
  void failedAnswer(const httplib::Request& request, httplib::Response& response,
                    std::exception_ptr thrown) {
    std::string what = "eccezione sconosciuta";
    try {
      std::rethrow_exception(thrown);
    } catch (const std::exception& exception) {
      what = exception.what();
    } catch (...) {}
    log("Errore rispondendo a " + request.path + ": " + what);
    response.status = kInternalError;
    response.set_content(
        errorPage(kInternalError, "Errore del servizio: " + what, toRootOf(request.path)), kHtml);
  }

  std::function<void(const std::string&)> log;
  DatabasePool pool;
  httplib::Server http;
  bool stopped = false;
  socket_t listeningSocket = INVALID_SOCKET;  // the last socket the library made to listen on
};

namespace {

// How the library keeps connections: worker threads, keep-alive, request
// sizes, the socket options, the headers of every answer.
void setUpConnections(httplib::Server& http, socket_t& listeningSocket) {
  http.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  http.set_keep_alive_timeout(kKeepAliveSeconds);
  http.set_keep_alive_max_count(kKeepAliveRequests);
  // An answer goes out as headers, then body: without this, the body waits
  // for the client's delayed acknowledgement of the headers (about 40 ms).
  http.set_tcp_nodelay(true);
  http.set_payload_max_length(kMaxBodyBytes);
  http.set_default_headers(safetyHeaders());
  // Only SO_REUSEADDR, to listen again at once after a stop. The library's
  // own options add SO_REUSEPORT, with which a second server started on
  // the same port (over another catalogue, say) shares its connections
  // instead of failing.
  http.set_socket_options([&listeningSocket](socket_t socket) {
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    listeningSocket = socket;
  });
}

// Only GET and HEAD are answered; any other method gets a 405 page.
httplib::Server::HandlerResponse refuseOtherMethods(const httplib::Request& request,
                                                    httplib::Response& response) {
  if (request.method == "GET" || request.method == "HEAD")
    return httplib::Server::HandlerResponse::Unhandled;
  response.status = kMethodNotAllowed;
  response.set_header("Allow", "GET, HEAD");
  response.set_content(
      errorPage(kMethodNotAllowed,
                "Il catalogo si consulta soltanto: metodo " + request.method + " non ammesso",
                toRootOf(request.path)),
      kHtml);
  return httplib::Server::HandlerResponse::Handled;
}

// Every other answer of 400 or more that has no page yet: an unknown path,
// or a request the library refused before routing it.
httplib::Server::HandlerResponse addErrorPage(const httplib::Request& request,
                                              httplib::Response& response) {
  if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
  if (response.status == kNotFound) {
    notFound(request, response);
  } else {
    response.set_content(
        errorPage(response.status, "La richiesta non si può servire", toRootOf(request.path)),
        kHtml);
  }
  return httplib::Server::HandlerResponse::Handled;
}

}  // namespace

SearchServer::SearchServer(std::function<void(const std::string&)> log)
    : service_(std::make_unique<Service>(std::move(log))) {
  Service& service = *service_;
  httplib::Server& http = service.http;
  setUpConnections(http, service.listeningSocket);
  http.set_pre_routing_handler(refuseOtherMethods);
  http.Get("/", [&service](const httplib::Request& request, httplib::Response& response) {
    service.searchPageRequest(request, response);
  });
  http.Get("/api/cerca", [&service](const httplib::Request& request, httplib::Response& response) {
    service.apiRequest(request, response);
  });
  http.Get("/record/([^/]+)",
           [&service](const httplib::Request& request, httplib::Response& response) {
             service.recordRequest(request, response);
           });
  http.Get("/stile.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(styleSheet()), kCss);
  });
  http.set_error_handler(httplib::Server::HandlerWithResponse(addErrorPage));
  http.set_exception_handler([&service](const httplib::Request& request,
                                        httplib::Response& response, std::exception_ptr thrown) {
    service.failedAnswer(request, response, thrown);
  });
}

SearchServer::~SearchServer() = default;

std::optional<std::string> SearchServer::checkDatabases() {
  return service_->withDatabases("Avvio", [](SearchDatabases&) { return Status(); });
}

std::optional<int> SearchServer::bind(const std::string& address, int port) {
  int bound = port;
  if (port == 0) {
    bound = service_->http.bind_to_any_port(address);
    if (bound <= 0) return std::nullopt;
  } else if (!service_->http.bind_to_port(address, port)) {
    return std::nullopt;
  }
  // Listening again on a listening socket only sets its queue length.
  ::listen(service_->listeningSocket, kListenQueue);
  return bound;
}

bool SearchServer::listen() { return service_->http.listen_after_bind(); }

bool SearchServer::stop() {
  // The library's stop() may be called once only while it listens.
  if (service_->stopped) return true;
  if (!service_->http.is_running()) return false;
  service_->stopped = true;
  service_->http.stop();
  return true;
}

}  // namespace indicizza::catalogo
