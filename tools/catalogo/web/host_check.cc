#include "catalogo/web/host_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>

#include <cstring>
#include <string>

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kLocalhost = "localhost";
constexpr std::string_view kIpv6Loopback = "[::1]";

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Whether `name` (an IPv4 literal, or an IPv6 literal in brackets) is the
// address `address` listens on.
bool namesAddress(std::string_view name, const ListenAddress& address) {
  const int family = address.socket.ss_family;
  if (family == AF_INET) {
    in_addr bytes{};
    const std::string text(name);
    return inet_pton(AF_INET, text.c_str(), &bytes) == 1 &&
           std::memcmp(&bytes, &reinterpret_cast<const sockaddr_in&>(address.socket).sin_addr,
                       sizeof bytes) == 0;
  }
  if (name.size() < 2 || name.front() != '[' || name.back() != ']') return false;
  in6_addr bytes{};
  const std::string text(name.substr(1, name.size() - 2));
  return inet_pton(AF_INET6, text.c_str(), &bytes) == 1 &&
         std::memcmp(&bytes, &reinterpret_cast<const sockaddr_in6&>(address.socket).sin6_addr,
                     sizeof bytes) == 0;
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
  return sameLetters(name, kLocalhost) || name == kIpv6Loopback || namesAddress(name, address);
}

}  // namespace indicizza::catalogo
