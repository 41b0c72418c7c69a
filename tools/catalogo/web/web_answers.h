// The answers of `catalogo servi` other than its pages of results and
// records: the error pages and the JSON error, and the refusals, each text
// (Italian) written here once. Every value from the request is escaped by
// the page (page_frame.h) or by jsonString.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "catalogo/web/web_exchange.h"
#include "search/presentation/result_formats.h"

namespace indicizza::catalogo {

// Limits of a request head (the request line and its header lines), past
// which it is refused with 431. The memory of each connection bounds it
// too: a head too big for it gets the HTTP library's own 431 page.
inline constexpr std::size_t kMaxHeaderLines = 64;
inline constexpr std::size_t kMaxHeadBytes = 8192;
// Retry-After of a 503 given because too many searches are waiting.
inline constexpr int kBusyRetrySeconds = 2;

// From `path` back to the root of the site, for the links of an error
// page: "" for /x, "../" for /x/y.
std::string toRootOf(std::string_view path);

// 200 with `stream` as its body: the results taken away as `format`
// (csv or tsv), to be saved as a file (risultati.csv, risultati.tsv).
WebAnswer downloadAnswer(OutputFormat format, std::shared_ptr<AnswerStream> stream);

// `page` (HTML) with `status`.
WebAnswer htmlAnswer(int status, std::string page);
// The error page of `status` saying `message`, for a request of `path`.
WebAnswer errorAnswer(int status, std::string_view message, std::string_view path);
// {"errore":"MESSAGE"} with `status`, for /api/cerca.
WebAnswer jsonError(int status, std::string_view message);

// 404: nothing at `path`.
WebAnswer notFound(std::string_view path);
// 405 (with Allow): `method` is not GET or HEAD.
WebAnswer methodRefused(std::string_view method, std::string_view path);
// 400, and the connection closed: a GET or HEAD that carries a body (read
// as a second request it would answer twice).
WebAnswer bodyRefused(std::string_view path);
// 421: a request for `host` (nothing: no Host header) to a server on the
// loopback address `urlHost`:`port`, which serves only its own names.
WebAnswer hostRefused(std::optional<std::string_view> host, std::string_view urlHost, int port,
                      std::string_view path);
// 400, and the connection closed: a request with more than one Host header,
// which could be read as a request for either host (RFC 9112).
WebAnswer hostRepeated(std::string_view path);
// 400: a path holding a zero byte (%00), which names no page.
WebAnswer zeroByteRefused();
// 431: a request head over kMaxHeaderLines or kMaxHeadBytes.
WebAnswer headTooLarge(std::string_view path);
// 503 (with Retry-After): the `waiting` searches that may wait are waiting
// already. As JSON when `json`.
WebAnswer serviceBusy(std::size_t waiting, bool json, std::string_view path);

// 503, and the connection closed: a request that needs the catalogue,
// come while the service stops.
WebAnswer serviceStopping(std::string_view path);

// Why a page has no results: the catalogue's files can't be read
// (`failure`, the read side's sentence).
std::string unreadableText(std::string_view failure);
// Why a page has no results: the search took longer than `allowed`.
std::string tooSlowText(std::chrono::milliseconds allowed);

}  // namespace indicizza::catalogo
