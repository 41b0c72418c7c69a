// Conversion of UTF-8 text to Latin-1, the catalogue's single-byte encoding.
#pragma once

#include <string>
#include <string_view>

namespace indicizza::tools {

// The Latin-1 bytes of `utf8`. Never fails: common typographic characters
// become their ASCII look-alikes (dashes, quotes, the numero sign), and
// anything else without a Latin-1 form, or malformed, becomes '?'.
std::string utf8ToLatin1Approximate(std::string_view utf8);

}  // namespace indicizza::tools
