#include "catalogo/web/search_server.h"

#include <microhttpd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

#include "catalogo/web/answer_stream.h"
#include "catalogo/web/catalogue_access.h"
#include "catalogo/web/catalogue_pages.h"
#include "catalogo/web/head_watch.h"
#include "catalogo/web/host_check.h"
#include "catalogo/web/http_connection.h"
#include "catalogo/web/listening_socket.h"
#include "catalogo/web/request_target.h"
#include "catalogo/web/run_turns.h"
#include "catalogo/web/site_routes.h"
#include "catalogo/web/web_answers.h"
#include "catalogo/web/work_queue.h"

namespace indicizza::catalogo {
namespace {

using Clock = std::chrono::steady_clock;

// Worker threads per turn at the processor (run_turns.h): one address's
// searches take at most one thread per turn, so the others always find a
// thread, and a search that gives its turn up waits on its own.
constexpr std::size_t kThreadsPerTurn = 2;

// One request, from its request line to its answer: the library keeps it
// for the server with the request (its "connection class"), from the
// request line (onRequestLine) to the request's completion.
struct Exchange {
  // The request line's target held a zero byte in its path (%00).
  bool zeroByteInPath = false;
  // Its head came whole, and it is counted as under way.
  bool headCame = false;
  // Set by a worker before it resumes the suspended connection.
  std::optional<WebAnswer> answer;
};

// The path a reading was asked at, for the log and the links of an error page.
std::string pathOf(const CatalogueReading& reading) {
  switch (reading.kind) {
    case CatalogueReading::Kind::kRecord: return "/record/" + reading.recordText;
    case CatalogueReading::Kind::kApi: return "/api/cerca";
    case CatalogueReading::Kind::kDownload:
      return std::string(reading.format == OutputFormat::kCsv ? kCsvDownloadPath
                                                              : kTsvDownloadPath);
    case CatalogueReading::Kind::kSearchPage: break;
  }
  return "/";
}

}  // namespace

struct SearchServer::Service {
  Service(std::function<void(const std::string&)> logLine, const ServerSettings& limits)
      : settings(limits),
        log(std::move(logLine)),
        catalogue(log),
        pastDeadline(log),
        busy(log),
        heads(limits.requestHeadDeadline),
        turns(limits.searchThreads),
        workers(limits.searchThreads * kThreadsPerTurn, limits.searchThreads,
                limits.waitingSearches) {}

  // The answer to a request whose head is enough to refuse it, if refused.
  // A refusal closes the connection: the rest of the request is not read.
  // In the absolute form, the target's authority is the host asked for
  // (request_target.h).
  std::optional<WebAnswer> refusalOf(MHD_Connection* connection, const Exchange& exchange,
                                     const char* method, const char* url) const {
    const RequestTarget target = requestTargetOf(url);
    const std::string_view path = target.path;
    const HeadSize head = headSizeOf(connection, url);
    if (head.lines > kMaxHeaderLines || head.bytes > kMaxHeadBytes) return headTooLarge(path);
    if (headerCount(connection, MHD_HTTP_HEADER_HOST) > 1) return hostRepeated(path);
    const auto host = target.authority ? std::optional<std::string_view>(*target.authority)
                                       : headerOf(connection, MHD_HTTP_HEADER_HOST);
    if (!hostServed(host, address, port)) return hostRefused(host, address.urlHost, port, path);
    const std::string_view verb = method;
    if (verb != MHD_HTTP_METHOD_GET && verb != MHD_HTTP_METHOD_HEAD)
      return methodRefused(verb, path);
    if (announcesBody(connection)) return bodyRefused(path);
    if (exchange.zeroByteInPath) return zeroByteRefused();
    return std::nullopt;
  }

  // A request received whole: answered at once, or suspended while a
  // worker reads the catalogue.
  MHD_Result serve(MHD_Connection* connection, Exchange& exchange, const char* method,
                   const char* url) {
    const WebRequest request = requestOf(connection, method, requestTargetOf(url).path.c_str());
    RoutePlan plan = planOf(request);
    if (plan.answer) return queueAnswer(connection, *plan.answer, stopping);
    const bool json = plan.reading->kind == CatalogueReading::Kind::kApi;
    const Clock::time_point deadline = Clock::now() + settings.searchDeadline;
    const int socket = socketOf(connection);
    std::string client = clientAddressOf(connection);
    Work work;
    if (plan.reading->kind == CatalogueReading::Kind::kDownload) {
      work.run = [this, connection, &exchange, reading = std::move(*plan.reading), socket, client] {
        download(connection, exchange, reading, socket, client);
      };
    } else {
      work.run = [this, connection, &exchange, reading = std::move(*plan.reading), deadline, socket,
                  client] {
        {
          RunTurn turn(turns, client);
          SearchStop stop(deadline, socket, [&turn] { turn.pass(); });
          exchange.answer = answerOf(reading, stop);
        }
        resume(connection);
      };
    }
    // Dropped to make room for another address's search.
    work.refuse = [this, connection, &exchange, json, path = request.path] {
      exchange.answer = busyAnswer(json, path);
      resume(connection);
    };
    {
      const std::lock_guard lock(mutex);
      if (stopping) return queueAnswer(connection, serviceStopping(request.path), true);
      ++suspended;
    }
    // From here on nothing may throw before the connection is resumed.
    MHD_suspend_connection(connection);
    bool queued = false;
    try {
      queued = workers.offer(client, std::move(work));
    } catch (const std::bad_alloc&) {
      // memory ran out: answered as when the queue is full
    }
    if (!queued) {
      exchange.answer = busyAnswer(json, request.path);
      resume(connection);
    }
    return MHD_YES;
  }

  // A download (run on a worker): its answer resumes the connection as
  // soon as its first bytes are ready, and its stream goes on being
  // written while the client reads, within settings.downloadDeadline; the
  // exchange is the library's from then on. A search that fails before
  // any byte is answered as a page's. The service's stop waits for it.
  void download(MHD_Connection* connection, Exchange& exchange, const CatalogueReading& reading,
                int socket, const std::string& client) noexcept {
    {
      const std::lock_guard lock(mutex);
      ++downloads;
    }
    bool begun = false;
    try {
      const Clock::time_point deadline = Clock::now() + settings.downloadDeadline;
      RunTurn turn(turns, client);
      SearchStop stop(deadline, socket, [&turn] { turn.pass(); });
      const auto stream = std::make_shared<AnswerStream>(
          kStreamBufferBytes,
          [this, connection] {
            {
              const std::lock_guard lock(mutex);
              ++suspended;
            }
            MHD_suspend_connection(connection);
          },
          [this, connection] { resume(connection); });
      const auto begin = [&] {
        exchange.answer = downloadAnswer(reading.format, stream);
        begun = true;
        resume(connection);
      };
      const ReadingBounds bounds{settings.searchLimits, settings.downloadDeadline, &pastDeadline};
      auto failed = writeDownload(
          reading, catalogue, stop, [this] { return stopping.load(); }, bounds, *stream, begin);
      if (!begun) exchange.answer = std::move(failed);
    } catch (...) {
      if (!begun) exchange.answer = WebAnswer{kUnavailable, {}, {}, {}, {}, true};
    }
    if (!begun) resume(connection);
    {
      const std::lock_guard lock(mutex);
      --downloads;
    }
    changed.notify_all();
  }

  // The 503 of a full queue, logged now and then; a bare 503 when even
  // that can't be made.
  WebAnswer busyAnswer(bool json, std::string_view path) noexcept {
    try {
      noteBusy();
      return serviceBusy(settings.waitingSearches, json, path);
    } catch (...) {
      return WebAnswer{kUnavailable, {}, {}, {}, {}, true};
    }
  }

  // The answer to `reading`, whatever happens (run on a worker): a failure
  // is logged and answered 503 (memory ran out) or 500. The outer catch is
  // for memory running out while the inner ones make their answer.
  WebAnswer answerOf(const CatalogueReading& reading, SearchStop& stop) noexcept {
    try {
      const std::string path = pathOf(reading);
      int status = kInternalError;
      std::string failure;
      try {
        return answerReading(reading, catalogue, stop,
                             {settings.searchLimits, settings.searchDeadline, &pastDeadline});
      } catch (const std::bad_alloc&) {
        status = kUnavailable;
        failure = kNoMemoryText;
      } catch (const std::exception& exception) {
        failure = exception.what();
      }
      log("Errore rispondendo a " + path + ": " + failure);
      return errorAnswer(
          status,
          status == kUnavailable ? unreadableText(failure) : "Errore del servizio: " + failure,
          path);
    } catch (...) {
      return WebAnswer{kInternalError, {}, {}, {}, {}, true};
    }
  }

  // Gives a suspended connection back to the library; only then is it no
  // longer counted, so that a stop never finds it still suspended.
  void resume(MHD_Connection* connection) {
    MHD_resume_connection(connection);
    {
      const std::lock_guard lock(mutex);
      --suspended;
    }
    changed.notify_all();
  }

  void noteBusy() {
    busy.write("Servizio occupato: " + std::to_string(settings.waitingSearches) +
               " ricerche in attesa, le altre hanno risposta 503 (al più una riga ogni " +
               std::to_string(kThrottledLogInterval.count()) + " s)");
  }

  static void onConnection(void* cls, MHD_Connection* connection, void**,
                           MHD_ConnectionNotificationCode code) {
    Service& service = *static_cast<Service*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      service.heads.opened(connection, socketOf(connection));
    } else {
      service.heads.closed(connection);
    }
  }

  // Called by the library with each request line's target as received
  // (not yet %-decoded, with its query string), before its headers: what it
  // returns becomes the request's context.
  static void* onRequestLine(void*, const char* target, MHD_Connection*) {
    auto* exchange = new (std::nothrow) Exchange;
    if (exchange && target) exchange->zeroByteInPath = zeroByteInPath(target);
    return exchange;
  }

  static void onCompleted(void* cls, MHD_Connection* connection, void** context,
                          MHD_RequestTerminationCode) {
    Service& service = *static_cast<Service*>(cls);
    if (!*context) return;
    auto* exchange = static_cast<Exchange*>(*context);
    const bool counted = exchange->headCame;
    delete exchange;
    *context = nullptr;
    if (!counted) return;  // its head never came: see onRequest
    service.heads.answered(connection);
    {
      const std::lock_guard lock(service.mutex);
      --service.underway;
    }
    service.changed.notify_all();
  }

  // Called by the library when a request's head has come (`*context` still
  // null), for each part of a body (never read: a body is refused with the
  // head), once the request is whole, and again once a suspended connection
  // is resumed.
  static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url,
                              const char* method, const char*, const char*, std::size_t* uploadSize,
                              void** context) {
    Service& service = *static_cast<Service*>(cls);
    if (!*context) *context = new (std::nothrow) Exchange;  // onRequestLine found no memory
    if (!*context) return MHD_NO;
    auto& exchange = *static_cast<Exchange*>(*context);
    if (!exchange.headCame) {
      exchange.headCame = true;
      service.heads.headReceived(connection);
      {
        const std::lock_guard lock(service.mutex);
        ++service.underway;
      }
      if (auto refusal = service.refusalOf(connection, exchange, method, url))
        return queueAnswer(connection, *refusal, true);
      return MHD_YES;
    }
    if (*uploadSize != 0) {
      *uploadSize = 0;
      return MHD_YES;
    }
    if (exchange.answer) return queueAnswer(connection, *exchange.answer, service.stopping);
    try {
      return service.serve(connection, exchange, method, url);
    } catch (...) {
      return MHD_NO;  // memory ran out: the library closes the connection
    }
  }

  const ServerSettings settings;
  std::function<void(const std::string&)> log;
  CatalogueAccess catalogue;
  ThrottledLog pastDeadline;  // searches past their deadline
  ThrottledLog busy;          // a full queue
  ListenAddress address;
  int port = 0;
  std::optional<ListeningSocket> socket;
  HeadWatch heads;
  std::mutex mutex;
  std::condition_variable changed;
  bool stopAsked = false;
  std::atomic<bool> stopping = false;  // set with `mutex` held; answers close their connection
  std::size_t suspended = 0;           // connections waiting for a worker's answer
  std::size_t downloads = 0;           // downloads whose stream is still written
  std::size_t underway = 0;            // requests whose head came and whose answer is not done
  RunTurns turns;
  WorkQueue workers;  // last: its threads end before the rest goes
};

SearchServer::SearchServer(std::function<void(const std::string&)> log,
                           const ServerSettings& settings)
    : service_(std::make_unique<Service>(std::move(log), settings)) {}

SearchServer::~SearchServer() = default;

std::optional<std::string> SearchServer::checkDatabases() {
  const ReadOutcome read =
      service_->catalogue.read("Avvio", [](SearchDatabases&) { return Status(); });
  if (read.end == ReadEnd::kDone) return std::nullopt;
  return read.text;
}

std::optional<int> SearchServer::bind(const ListenAddress& address, int port) {
  std::optional<ListeningSocket> opened = ListeningSocket::open(address, port);
  if (!opened) return std::nullopt;
  service_->socket.emplace(std::move(*opened));
  service_->address = address;
  service_->port = service_->socket->port();
  return service_->port;
}

bool SearchServer::listen() {
  Service& service = *service_;
  if (!service.socket) return false;
  unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
  if (service.address.socket.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
  // One option and its values a line.
  // clang-format off
  MHD_Daemon* daemon = MHD_start_daemon(
      flags, 0, nullptr, nullptr, Service::onRequest, &service,
      MHD_OPTION_LISTEN_SOCKET, service.socket->descriptor(),
      MHD_OPTION_CONNECTION_LIMIT, service.settings.maxConnections,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, service.settings.maxConnectionsPerAddress,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
      MHD_OPTION_NOTIFY_CONNECTION, Service::onConnection, &service,
      MHD_OPTION_NOTIFY_COMPLETED, Service::onCompleted, &service,
      MHD_OPTION_URI_LOG_CALLBACK, Service::onRequestLine, &service,
      MHD_OPTION_END);
  // clang-format on
  if (!daemon) return false;
  std::unique_lock lock(service.mutex);
  service.changed.wait(lock, [&] { return service.stopAsked; });
  service.stopping = true;
  MHD_quiesce_daemon(daemon);  // the socket stays ours, closed with the service
  // No connection may stay suspended when the library stops; the searches
  // end by their deadline.
  service.changed.wait(lock, [&] { return service.suspended == 0 && service.downloads == 0; });
  service.changed.wait_for(lock, kStopGrace, [&] { return service.underway == 0; });
  lock.unlock();
  MHD_stop_daemon(daemon);
  return true;
}

void SearchServer::stop() {
  {
    const std::lock_guard lock(service_->mutex);
    service_->stopAsked = true;
  }
  service_->changed.notify_all();
}

}  // namespace indicizza::catalogo
