// What the server reads from and writes to one libmicrohttpd connection:
// the request as the site reads it (web_exchange.h), its headers, and an
// answer queued with the safety headers every answer carries. Called only
// from the library's callbacks, on its thread.
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalogo/web/web_exchange.h"

namespace indicizza::catalogo {

// `method` and `url` (as the library gives them: the path %-decoded) with
// the connection's query-string arguments.
WebRequest requestOf(MHD_Connection* connection, const char* method, const char* url);

// The value of header `name` of the request (any letter case), if sent.
std::optional<std::string_view> headerOf(MHD_Connection* connection, const char* name);

// How many headers named `name` (any letter case) the request has.
std::size_t headerCount(MHD_Connection* connection, const char* name);

// The size of the request's head as received: header lines, and bytes of
// the URL and the header lines (names, values and their punctuation).
struct HeadSize {
  std::size_t lines = 0;
  std::size_t bytes = 0;
};
HeadSize headSizeOf(MHD_Connection* connection, std::string_view url);

// Whether the request says a body follows (a Content-Length other than 0,
// or a Transfer-Encoding).
bool announcesBody(MHD_Connection* connection);

// The socket of the connection, or -1.
int socketOf(MHD_Connection* connection);

// The client's address as bytes (its port left out): the same for every
// connection from one address, "" when it can't be told.
std::string clientAddressOf(MHD_Connection* connection);

// Queues `answer` on `connection`, with the safety headers, and asks for
// the connection to be closed after it when `close` or answer.closeConnection.
MHD_Result queueAnswer(MHD_Connection* connection, const WebAnswer& answer, bool close);

}  // namespace indicizza::catalogo
