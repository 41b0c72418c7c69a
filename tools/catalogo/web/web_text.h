// Text put into web pages, their links and the log: UTF-8 made valid, HTML
// escaping and the encoding of form values in a link's query string.
// Nothing here knows the pages.
#pragma once

#include <string>
#include <string_view>

namespace indicizza::catalogo {

// `text` with every byte that does not belong to a well-formed UTF-8
// sequence (a stray continuation byte, a sequence cut short, an overlong
// form, a UTF-16 surrogate, a code point past U+10FFFF) replaced by U+FFFD,
// one for each such byte; well-formed text comes back unchanged. What a
// client sends (a query, a path) passes through it before it is shown.
std::string validUtf8(std::string_view text);

// `text` safe to place in HTML text or in a double- or single-quoted
// attribute value: made valid UTF-8 (validUtf8), then & < > " ' become
// character references; every other byte is kept.
std::string htmlEscaped(std::string_view text);

// `value` encoded as a browser encodes a form field in a GET query string
// (application/x-www-form-urlencoded): letters, digits and - . _ * are
// kept, a blank becomes +, every other byte %XX (capital hex digits).
std::string formEncoded(std::string_view value);

}  // namespace indicizza::catalogo
