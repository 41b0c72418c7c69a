// Text put into web pages, their links and the log: HTML escaping, the
// encoding of form values in a link's query string, and text for a log
// line. Nothing here knows the pages. What a client sends (a query, a path)
// passes through validUtf8 (catalogue/text/valid_utf8.h) before it is shown.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/text/valid_utf8.h"

namespace indicizza::catalogo {

// `text` safe to place in HTML text or in a double- or single-quoted
// attribute value: made valid UTF-8 (validUtf8); & < > " ' become character
// references, and so do tab, line feed and carriage return; every other
// control character (C0, DEL, and the C1 range U+0080-U+009F), which HTML
// does not allow, becomes U+FFFD, so that no control byte reaches a page;
// every other character is kept.
std::string htmlEscaped(std::string_view text);

// `text` for one line of a log: made valid UTF-8 (validUtf8), then every
// control character (C0, DEL, C1) written as '?', so that one event is
// always one line and nothing in it acts on a terminal.
std::string logText(std::string_view text);

// `value` encoded as a browser encodes a form field in a GET query string
// (application/x-www-form-urlencoded): letters, digits and - . _ * are
// kept, a blank becomes +, every other byte %XX (capital hex digits).
std::string formEncoded(std::string_view value);

}  // namespace indicizza::catalogo
