// Text made valid UTF-8, for every output that must be: a page, a JSON
// string, a log line.
#pragma once

#include <string>
#include <string_view>

namespace indicizza {

// `text` with every byte that does not belong to a well-formed UTF-8
// sequence (utf8.h: a stray continuation byte, a sequence cut short, an
// overlong form, a UTF-16 surrogate, a code point past U+10FFFF) replaced by
// U+FFFD, one for each such byte; well-formed text comes back unchanged.
std::string validUtf8(std::string_view text);

}  // namespace indicizza
