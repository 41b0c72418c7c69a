// A request as the pages of `catalogo servi` read it, and the answer they
// give, apart from the HTTP library that carries them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace indicizza::catalogo {

class AnswerStream;

inline constexpr int kOk = 200;
inline constexpr int kBadRequest = 400;
inline constexpr int kNotFound = 404;
inline constexpr int kMethodNotAllowed = 405;
inline constexpr int kMisdirected = 421;
inline constexpr int kHeadTooLarge = 431;
inline constexpr int kInternalError = 500;
inline constexpr int kUnavailable = 503;

inline constexpr std::string_view kHtml = "text/html; charset=utf-8";
inline constexpr std::string_view kCss = "text/css; charset=utf-8";
inline constexpr std::string_view kJson = "application/json; charset=utf-8";
inline constexpr std::string_view kCsvText = "text/csv; charset=utf-8";
inline constexpr std::string_view kTsvText = "text/tab-separated-values; charset=utf-8";

struct WebRequest {
  std::string method;  // GET, HEAD, ...
  std::string path;    // %-decoded, without the query string
  // The query string's arguments in order, names and values %-decoded and
  // '+' read as a blank (any byte may be among them, a zero byte too).
  std::vector<std::pair<std::string, std::string>> arguments;
};

// The value of the first argument `name` of `request`, if any.
std::optional<std::string> argumentOf(const WebRequest& request, std::string_view name);

struct WebAnswer {
  int status = kOk;
  std::string contentType{kHtml};
  std::string body;
  // When set, the body is written while it is sent (answer_stream.h), and
  // `body` is not used.
  std::shared_ptr<AnswerStream> stream;
  // Headers beside the content type and the safety headers every answer
  // carries (Allow, Retry-After).
  std::vector<std::pair<std::string, std::string>> headers;
  // The connection ends after this answer (the request had a body that was
  // not read).
  bool closeConnection = false;
};

}  // namespace indicizza::catalogo
