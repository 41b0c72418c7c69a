// The nearest Latin-1 form of a Latin letter that Latin-1 lacks, for a
// catalogue that must store a name like Dvořák in its single-byte records.
#pragma once

#include <string_view>

namespace indicizza {

// The Latin-1 bytes that stand for `letter` (a code point above U+00FF), or
// an empty view when it has none (a letter of another script, a symbol).
// The forms, for the letters of U+0100-U+024F and U+1E00-U+1EFF:
// - the letter without the marks Latin-1 lacks, keeping those it has:
//   ř -> r, ș -> s, ǘ -> ü, ā -> a;
// - a double acute as a diaeresis, as Hungarian is written without it:
//   ő -> ö, Ű -> Ü;
// - a letter with a stroke, hook or bar as the plain letter: ł -> l,
//   đ -> d; ı -> i, ſ -> s;
// - ligatures and digraphs spelled out: œ -> oe, Œ -> OE, ĳ -> ij, ǆ -> dž
//   as dz, ẞ -> SS.
std::string_view nearestLatin1(char32_t letter);

}  // namespace indicizza
