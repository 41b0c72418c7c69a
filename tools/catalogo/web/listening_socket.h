// The socket `catalogo servi` listens on, made here rather than by the HTTP
// library so that a port another program holds is refused (SO_REUSEADDR
// only, never SO_REUSEPORT, with which a second server would share the
// port's connections), its failure keeps its errno, and port 0 tells which
// port it got.
#pragma once

#include <optional>

#include "catalogo/web/listen_address.h"

namespace indicizza::catalogo {

// Connections accepted by the system and not yet taken by the server (the
// listen queue); those over the server's connection limit wait here.
inline constexpr int kListenQueue = 128;

// An open listening socket; closed when the handle goes. Not copyable.
class ListeningSocket {
 public:
  // Binds `address`:`port` (0: a free port the system picks) and listens.
  // Nothing when it can't (errno says why: EADDRINUSE, EADDRNOTAVAIL...).
  static std::optional<ListeningSocket> open(const ListenAddress& address, int port);

  ListeningSocket(ListeningSocket&& other) noexcept;
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;
  ListeningSocket& operator=(ListeningSocket&&) = delete;
  ~ListeningSocket();

  int descriptor() const { return descriptor_; }
  // The port bound.
  int port() const { return port_; }

 private:
  ListeningSocket(int descriptor, int port) : descriptor_(descriptor), port_(port) {}
  int descriptor_;
  int port_;
};

}  // namespace indicizza::catalogo
