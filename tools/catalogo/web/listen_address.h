// The address `catalogo servi --indirizzo` listens on: an IPv4 literal
// (127.0.0.1, 0.0.0.0), an IPv6 literal (::1, ::, ::ffff:127.0.0.1) or
// localhost (127.0.0.1). Host names other than localhost are not looked up:
// the service listens on an address of this machine, named as such.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>
#include <string_view>

namespace indicizza::catalogo {

// The one host name that names this machine without a lookup.
inline constexpr std::string_view kLocalhostName = "localhost";

struct ListenAddress {
  // The socket address, its port 0 (the port is chosen when binding).
  sockaddr_storage socket{};
  socklen_t size = 0;
  // As a URL writes it (127.0.0.1, [::1]), in the canonical form of the
  // address (inet_ntop's).
  std::string urlHost;
  // 127.0.0.0/8, ::1, or an IPv4-mapped 127.x.y.z (::ffff:127.0.0.1):
  // reachable from this machine only.
  bool loopback = false;
  // An IPv4-mapped IPv6 address, which an IPv6 socket reaches only when it
  // takes IPv4 connections too.
  bool ipv4Mapped = false;
};

// What parseListenAddress made of a text: the address, or why not (an
// Italian sentence naming the text and what is accepted).
struct ListenAddressParse {
  std::optional<ListenAddress> address;
  std::string error;
};

ListenAddressParse parseListenAddress(std::string_view text);

}  // namespace indicizza::catalogo
