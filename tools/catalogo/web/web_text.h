// Text put into web pages and their links: HTML escaping and the encoding
// of form values in a link's query string. Nothing here knows the pages.
#pragma once

#include <string>
#include <string_view>

namespace indicizza::catalogo {

// `text` (UTF-8) safe to place in HTML text or in a double- or
// single-quoted attribute value: & < > " ' become character references;
// every other byte is kept.
std::string htmlEscaped(std::string_view text);

// `value` encoded as a browser encodes a form field in a GET query string
// (application/x-www-form-urlencoded): letters, digits and - . _ * are
// kept, a blank becomes +, every other byte %XX (capital hex digits).
std::string formEncoded(std::string_view value);

}  // namespace indicizza::catalogo
