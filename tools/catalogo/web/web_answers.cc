#include "catalogo/web/web_answers.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/web_text.h"
#include "search/presentation/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr std::chrono::milliseconds kSecond{1000};

// "2 secondi", "1 secondo", "250 millisecondi".
std::string durationText(std::chrono::milliseconds duration) {
  const bool whole = duration % kSecond == std::chrono::milliseconds::zero();
  const auto count = whole ? duration / kSecond : duration.count();
  return std::to_string(count) + (whole ? (count == 1 ? " secondo" : " secondi")
                                        : (count == 1 ? " millisecondo" : " millisecondi"));
}

}  // namespace

std::string toRootOf(std::string_view path) {
  std::string toRoot;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') toRoot += "../";
  }
  return toRoot;
}

WebAnswer downloadAnswer(OutputFormat format, std::shared_ptr<AnswerStream> stream) {
  const bool csv = format == OutputFormat::kCsv;
  WebAnswer answer;
  answer.contentType = csv ? kCsvText : kTsvText;
  answer.stream = std::move(stream);
  answer.headers.emplace_back(
      "Content-Disposition",
      csv ? "attachment; filename=\"risultati.csv\"" : "attachment; filename=\"risultati.tsv\"");
  return answer;
}

WebAnswer htmlAnswer(int status, std::string page) {
  WebAnswer answer;
  answer.status = status;
  answer.body = std::move(page);
  return answer;
}

WebAnswer errorAnswer(int status, std::string_view message, std::string_view path) {
  return htmlAnswer(status, errorPage(status, message, toRootOf(path)));
}

WebAnswer jsonError(int status, std::string_view message) {
  WebAnswer answer;
  answer.status = status;
  answer.contentType = kJson;
  answer.body = "{\"errore\":" + jsonString(message) + "}";
  return answer;
}

WebAnswer notFound(std::string_view path) {
  return errorAnswer(kNotFound, "Nessuna pagina a questo indirizzo: " + std::string(path), path);
}

WebAnswer methodRefused(std::string_view method, std::string_view path) {
  WebAnswer answer = errorAnswer(
      kMethodNotAllowed,
      "Il catalogo si consulta soltanto: metodo " + std::string(method) + " non ammesso", path);
  answer.headers.emplace_back("Allow", "GET, HEAD");
  return answer;
}

WebAnswer bodyRefused(std::string_view path) {
  WebAnswer answer = errorAnswer(
      kBadRequest,
      "Una richiesta GET o HEAD non ha corpo: questa ne aveva uno, e la connessione si chiude",
      path);
  answer.closeConnection = true;
  return answer;
}

WebAnswer hostRefused(std::optional<std::string_view> host, std::string_view urlHost, int port,
                      std::string_view path) {
  const std::string withPort = ":" + std::to_string(port);
  const std::string asked = host ? "questa era per '" + std::string(*host) + "'"
                                 : "questa non dice per quale (manca l'intestazione Host)";
  return errorAnswer(kMisdirected,
                     "Questo servizio è solo per questa macchina: risponde alle richieste per " +
                         std::string(urlHost) + withPort + ", localhost" + withPort + " o [::1]" +
                         withPort + ", e " + asked +
                         ". Un altro sito che dà un suo nome a questa macchina non può leggerne "
                         "le pagine.",
                     path);
}

WebAnswer hostRepeated(std::string_view path) {
  WebAnswer answer = errorAnswer(
      kBadRequest,
      "Più di un'intestazione Host: non si sa per quale sito sia la richiesta, e la connessione "
      "si chiude",
      path);
  answer.closeConnection = true;
  return answer;
}

WebAnswer zeroByteRefused() {
  return errorAnswer(kBadRequest,
                     "Un byte zero (%00) nell'indirizzo: nessuna pagina ha un indirizzo così", "/");
}

WebAnswer headTooLarge(std::string_view path) {
  return errorAnswer(kHeadTooLarge,
                     "Intestazioni della richiesta troppo grandi: al massimo " +
                         std::to_string(kMaxHeaderLines) + " righe e " +
                         std::to_string(kMaxHeadBytes) + " byte",
                     path);
}

WebAnswer serviceBusy(std::size_t waiting, bool json, std::string_view path) {
  const std::string message = "Il servizio è occupato: troppe ricerche in attesa (al più " +
                              std::to_string(waiting) + "). Riprovare tra qualche secondo";
  WebAnswer answer =
      json ? jsonError(kUnavailable, message) : errorAnswer(kUnavailable, message, path);
  answer.headers.emplace_back("Retry-After", std::to_string(kBusyRetrySeconds));
  return answer;
}

WebAnswer serviceStopping(std::string_view path) {
  WebAnswer answer = errorAnswer(kUnavailable, "Il servizio si sta fermando", path);
  answer.closeConnection = true;
  return answer;
}

std::string unreadableText(std::string_view failure) {
  return "Il catalogo non si può leggere ora: " + std::string(failure);
}

std::string tooSlowText(std::chrono::milliseconds allowed) {
  return "La ricerca ha richiesto più di " + durationText(allowed) +
         " ed è stata interrotta: restringerla con termini meno comuni, un prefisso più lungo "
         "o un campo (T1:bach)";
}

}  // namespace indicizza::catalogo
