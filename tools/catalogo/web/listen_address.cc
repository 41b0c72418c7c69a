#include "catalogo/web/listen_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kLocalhostAddress = "127.0.0.1";
constexpr unsigned char kLoopbackNetwork = 127;  // 127.0.0.0/8
constexpr std::size_t kMappedPrefixBytes = 12;   // ::ffff:a.b.c.d: 10 zeros, ff, ff, then IPv4

ListenAddress ipv4(const in_addr& bytes) {
  ListenAddress address;
  auto& socket = reinterpret_cast<sockaddr_in&>(address.socket);
  socket.sin_family = AF_INET;
  socket.sin_addr = bytes;
  address.size = sizeof socket;
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &bytes, text, sizeof text);
  address.urlHost = text;
  address.loopback = reinterpret_cast<const unsigned char*>(&bytes)[0] == kLoopbackNetwork;
  return address;
}

ListenAddress ipv6(const in6_addr& bytes) {
  ListenAddress address;
  auto& socket = reinterpret_cast<sockaddr_in6&>(address.socket);
  socket.sin6_family = AF_INET6;
  socket.sin6_addr = bytes;
  address.size = sizeof socket;
  char text[INET6_ADDRSTRLEN] = "";
  inet_ntop(AF_INET6, &bytes, text, sizeof text);
  address.urlHost = "[" + std::string(text) + "]";
  address.ipv4Mapped = IN6_IS_ADDR_V4MAPPED(&bytes);
  address.loopback = IN6_IS_ADDR_LOOPBACK(&bytes) ||
                     (address.ipv4Mapped && bytes.s6_addr[kMappedPrefixBytes] == kLoopbackNetwork);
  return address;
}

}  // namespace

ListenAddressParse parseListenAddress(std::string_view text) {
  const std::string written(text == kLocalhostName ? kLocalhostAddress : text);
  in_addr v4{};
  if (inet_pton(AF_INET, written.c_str(), &v4) == 1) return {ipv4(v4), ""};
  in6_addr v6{};
  if (inet_pton(AF_INET6, written.c_str(), &v6) == 1) return {ipv6(v6), ""};
  return {std::nullopt,
          "Indirizzo non valido: '" + std::string(text) +
              "' (un indirizzo IPv4 come 127.0.0.1 o 0.0.0.0, IPv6 come ::1 o ::, oppure "
              "localhost)"};
}

}  // namespace indicizza::catalogo
