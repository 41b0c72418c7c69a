#include "catalogo/web/http_connection.h"

#include <netinet/in.h>
#include <strings.h>

#include <new>
#include <string>

#include "catalogo/web/answer_stream.h"

namespace indicizza::catalogo {
namespace {

// A header line's bytes besides its name and value: ": " and CR LF.
constexpr std::size_t kHeaderLinePunctuation = 4;

// Pages are made here and link only to themselves: nothing is loaded from
// elsewhere, no script runs, no other site may frame them.
constexpr std::pair<const char*, const char*> kSafetyHeaders[] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Content-Security-Policy",
     "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
     "frame-ancestors 'none'; base-uri 'none'"},
    {"Referrer-Policy", "no-referrer"},
};

MHD_Result addArgument(void* request, MHD_ValueKind, const char* name, std::size_t nameSize,
                       const char* value, std::size_t valueSize) {
  static_cast<WebRequest*>(request)->arguments.emplace_back(
      std::string(name, nameSize), value ? std::string(value, valueSize) : std::string());
  return MHD_YES;
}

struct NamedCount {
  std::string_view name;
  std::size_t count = 0;
};

MHD_Result countHeader(void* counted, MHD_ValueKind, const char* name, std::size_t nameSize,
                       const char*, std::size_t) {
  auto& named = *static_cast<NamedCount*>(counted);
  if (nameSize == named.name.size() && strncasecmp(name, named.name.data(), nameSize) == 0)
    ++named.count;
  return MHD_YES;
}

MHD_Result measureHeader(void* size, MHD_ValueKind, const char*, std::size_t nameSize, const char*,
                         std::size_t valueSize) {
  auto& head = *static_cast<HeadSize*>(size);
  ++head.lines;
  head.bytes += nameSize + valueSize + kHeaderLinePunctuation;
  return MHD_YES;
}

// The library's reader of a streamed answer: `stream` holds a
// std::shared_ptr<AnswerStream>, given up by dropStream.
ssize_t readStream(void* stream, std::uint64_t, char* out, std::size_t size) {
  std::size_t taken = 0;
  switch ((*static_cast<std::shared_ptr<AnswerStream>*>(stream))->read(out, size, taken)) {
    case AnswerStream::Read::kBytes: return static_cast<ssize_t>(taken);
    case AnswerStream::Read::kWait: return 0;  // the connection is paused
    case AnswerStream::Read::kEnd: return MHD_CONTENT_READER_END_OF_STREAM;
    case AnswerStream::Read::kCut: break;
  }
  return MHD_CONTENT_READER_END_WITH_ERROR;
}

void dropStream(void* stream) {
  auto* held = static_cast<std::shared_ptr<AnswerStream>*>(stream);
  (*held)->abandon();
  delete held;
}

// Bytes the library asks a stream for at a time.
constexpr std::size_t kStreamBlockBytes = 32 * 1024;

MHD_Response* responseOf(const WebAnswer& answer) {
  if (!answer.stream) {
    return MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
  }
  auto* held = new (std::nothrow) std::shared_ptr<AnswerStream>(answer.stream);
  if (!held) return nullptr;
  MHD_Response* response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlockBytes,
                                                             readStream, held, dropStream);
  if (!response) dropStream(held);
  return response;
}

}  // namespace

WebRequest requestOf(MHD_Connection* connection, const char* method, const char* url) {
  WebRequest request;
  request.method = method;
  request.path = url;
  MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, addArgument, &request);
  return request;
}

std::optional<std::string_view> headerOf(MHD_Connection* connection, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
  if (!value) return std::nullopt;
  return std::string_view(value);
}

std::size_t headerCount(MHD_Connection* connection, const char* name) {
  NamedCount named{name};
  MHD_get_connection_values_n(connection, MHD_HEADER_KIND, countHeader, &named);
  return named.count;
}

HeadSize headSizeOf(MHD_Connection* connection, std::string_view url) {
  HeadSize size{0, url.size()};
  MHD_get_connection_values_n(connection, MHD_HEADER_KIND, measureHeader, &size);
  return size;
}

bool announcesBody(MHD_Connection* connection) {
  const auto length = headerOf(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
  return (length && *length != "0") || headerOf(connection, MHD_HTTP_HEADER_TRANSFER_ENCODING);
}

int socketOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  return info ? info->connect_fd : -1;
}

std::string clientAddressOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr) return "";
  const sockaddr* address = info->client_addr;
  if (address->sa_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(*address).sin_addr;
    return std::string(reinterpret_cast<const char*>(&in), sizeof in);
  }
  if (address->sa_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(*address).sin6_addr;
    return std::string(reinterpret_cast<const char*>(&in6), sizeof in6);
  }
  return "";
}

MHD_Result queueAnswer(MHD_Connection* connection, const WebAnswer& answer, bool close) {
  MHD_Response* response = responseOf(answer);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
  for (const auto& [name, value] : kSafetyHeaders) MHD_add_response_header(response, name, value);
  for (const auto& [name, value] : answer.headers)
    MHD_add_response_header(response, name.c_str(), value.c_str());
  if (close || answer.closeConnection)
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result queued =
      MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  return queued;
}

}  // namespace indicizza::catalogo
