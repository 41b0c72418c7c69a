// Conversion of UTF-8 text to Latin-1, the catalogue's single-byte encoding.
#pragma once

#include <string>
#include <string_view>

namespace indicizza::tools {

// The Latin-1 bytes of `utf8`. Never fails: common typographic characters
// become their ASCII look-alikes (dashes, quotes, the numero sign), and
// anything else without a Latin-1 form, or malformed, becomes '?'.
std::string utf8ToLatin1Approximate(std::string_view utf8);

// The outcome of a strict conversion: on success `latin1` holds the bytes and
// `error` is empty; otherwise `error` says (in Italian) what could not be
// converted and `latin1` holds what was converted before it.
struct Latin1Conversion {
  std::string latin1;
  std::string error;
  bool ok() const { return error.empty(); }
};

// The Latin-1 bytes of `utf8`, or an error naming the first malformed
// sequence or the first character above U+00FF. Nothing is approximated.
Latin1Conversion utf8ToLatin1(std::string_view utf8);

// The UTF-8 form of Latin-1 bytes: bytes 0-127 stay, 128-255 become two
// bytes. Never fails; utf8ToLatin1 gives the bytes back.
std::string latin1ToUtf8(std::string_view latin1);

}  // namespace indicizza::tools
