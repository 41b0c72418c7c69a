// Which requests a server on a loopback address answers. A web page of any
// site can make the browser of this machine send requests to 127.0.0.1, and
// with a name of its own that it points at 127.0.0.1 (DNS rebinding) read
// the answers as its own; such a request carries that name in its Host
// header, so only the names of this machine are served there.
#pragma once

#include <optional>
#include <string_view>

#include "catalogo/web/listen_address.h"

namespace indicizza::catalogo {

// Whether a request with Host header `host` (nothing: none sent) is served
// by a server listening on `address`:`port`. Any Host on an address that is
// not loopback; on a loopback address, only the address itself (as a URL
// writes it, in any form of the same address), localhost or [::1], any
// letter case, each alone or followed by :`port`; an IPv4-mapped address
// (::ffff:127.0.0.1) by its IPv4 literal (127.0.0.1) too.
bool hostServed(std::optional<std::string_view> host, const ListenAddress& address, int port);

}  // namespace indicizza::catalogo
