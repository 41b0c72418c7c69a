#include "catalogo/web/listening_socket.h"

#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace indicizza::catalogo {
namespace {

// Closes `descriptor` keeping the errno of the failure that led here.
void closeKeepingError(int descriptor) {
  const int error = errno;
  ::close(descriptor);
  errno = error;
}

// The port of the address `descriptor` is bound to, or 0.
int boundPort(int descriptor) {
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &size) != 0) return 0;
  if (bound.ss_family == AF_INET)
    return ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port);
  return ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
}

}  // namespace

std::optional<ListeningSocket> ListeningSocket::open(const ListenAddress& address, int port) {
  sockaddr_storage socketAddress = address.socket;
  const int family = socketAddress.ss_family;
  if (family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(socketAddress).sin_port =
        htons(static_cast<std::uint16_t>(port));
  } else {
    reinterpret_cast<sockaddr_in6&>(socketAddress).sin6_port =
        htons(static_cast<std::uint16_t>(port));
  }
  const int descriptor = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return std::nullopt;
  const int on = 1;
  // Listening again at once after a stop, while the old connections linger.
  setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (family == AF_INET6) {
    // IPv6 only, but for an IPv4-mapped address, which takes IPv4 connections.
    const int v6Only = address.ipv4Mapped ? 0 : 1;
    setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only);
  }
  if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&socketAddress), address.size) != 0 ||
      ::listen(descriptor, kListenQueue) != 0) {
    closeKeepingError(descriptor);
    return std::nullopt;
  }
  return ListeningSocket(descriptor, boundPort(descriptor));
}

ListeningSocket::ListeningSocket(ListeningSocket&& other) noexcept
    : descriptor_(other.descriptor_), port_(other.port_) {
  other.descriptor_ = -1;
}

ListeningSocket::~ListeningSocket() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace indicizza::catalogo
