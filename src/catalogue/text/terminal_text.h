// Text meant for a terminal: the record fields that cerca (testo), mostra
// and verifica write, and the input that a message echoes (a header name, a
// record number, an argument, a query). A terminal acts on control bytes
// instead of showing them (ESC [2J clears the screen, a carriage return
// writes over the start of a line), so these are written as visible escapes.
//
// Only text for a terminal goes through here. The formats for programs
// (tsv, csv, json) keep the bytes, each quoted in its own way (see
// search/result_formats.h); the web pages take displayText and escape it for
// HTML, where control bytes act on nothing.
#pragma once

#include <string>
#include <string_view>

namespace indicizza {

// `utf8` with every byte a terminal could act on written as an escape, the
// rest kept as it is: the C0 controls 0x00-0x1F, DEL 0x7F and the C1
// controls U+0080-U+009F (which some terminals obey in UTF-8 too; Latin-1
// has no character there) as \xNN, NN being two lower-case hex digits of the
// code point (for C1 also its Latin-1 byte: \x9b); U+FEFF, an invisible byte
// order mark, as \ufeff; and each byte that is no part of well-formed UTF-8
// (a Latin-1 byte in a message, say) as \xNN. A backslash is kept as it is,
// so the text of an ordinary record never changes. Never fails.
std::string terminalText(std::string_view utf8);

// The catalogue's Latin-1 bytes (a field, a term) for a terminal:
// terminalText of their UTF-8 form.
std::string terminalTextOfLatin1(std::string_view latin1);

}  // namespace indicizza
