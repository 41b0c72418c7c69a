#include "catalogo/web/host_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>

#include <cstring>
#include <string>

#include "catalogo/web/listen_address.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kIpv6Loopback = "[::1]";

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The bytes of an IPv4-mapped IPv6 address that are its IPv4 address.
constexpr std::size_t kMappedIpv4Offset = 12;

// Whether `name` is the IPv4 literal of the four bytes at `ipv4`.
bool namesIpv4(std::string_view name, const void* ipv4) {
  in_addr bytes{};
  const std::string text(name);
  return inet_pton(AF_INET, text.c_str(), &bytes) == 1 &&
         std::memcmp(&bytes, ipv4, sizeof bytes) == 0;
}

// Whether `name` (an IPv4 literal, or an IPv6 literal in brackets) is the
// address `address` listens on; an IPv4-mapped address (::ffff:127.0.0.1)
// is named by its IPv4 literal too, as the clients that reach it use it.
bool namesAddress(std::string_view name, const ListenAddress& address) {
  const int family = address.socket.ss_family;
  if (family == AF_INET)
    return namesIpv4(name, &reinterpret_cast<const sockaddr_in&>(address.socket).sin_addr);
  const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address.socket).sin6_addr;
  if (address.ipv4Mapped && namesIpv4(name, ipv6.s6_addr + kMappedIpv4Offset)) return true;
  if (name.size() < 2 || name.front() != '[' || name.back() != ']') return false;
  in6_addr bytes{};
  const std::string text(name.substr(1, name.size() - 2));
  return inet_pton(AF_INET6, text.c_str(), &bytes) == 1 &&
         std::memcmp(&bytes, &ipv6, sizeof bytes) == 0;
}

}  // namespace

bool hostServed(std::optional<std::string_view> host, const ListenAddress& address, int port) {
  if (!address.loopback) return true;
  if (!host) return false;
  std::string_view name = *host;
  // A port follows the last ':' after the name (an IPv6 literal holds ':'
  // only inside its brackets).
  const std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos && name.find(']', colon) == std::string_view::npos) {
    if (name.substr(colon + 1) != std::to_string(port)) return false;
    name = name.substr(0, colon);
  }
  return sameLetters(name, kLocalhostName) || name == kIpv6Loopback || namesAddress(name, address);
}

}  // namespace indicizza::catalogo
