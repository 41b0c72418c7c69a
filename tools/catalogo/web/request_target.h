// The target of a request line as the site reads it. A client may send it
// in the origin form (/record/43?q=bach) or in the absolute form
// (http://127.0.0.1:8080/record/43?q=bach), which RFC 9112 asks every server
// to accept; in the absolute form the target's authority names the host the
// request is for, in place of the Host header (which is then ignored).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace indicizza::catalogo {

struct RequestTarget {
  std::optional<std::string> authority;  // the absolute form's host[:port]
  std::string path;                      // "/" when the absolute form names none
};

// `url` (the target as the HTTP library gives it: %-decoded, without the
// query string) read in either form. A target that begins with http:// or
// https:// (any letter case) is in the absolute form.
RequestTarget requestTargetOf(std::string_view url);

// Whether the target as received (`rawTarget`: not yet %-decoded, the
// query string included) holds a zero byte in its path (%00), which the
// decoded path, a C string, would lose along with all that follows it.
bool zeroByteInPath(std::string_view rawTarget);

}  // namespace indicizza::catalogo
