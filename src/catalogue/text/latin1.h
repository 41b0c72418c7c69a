// Conversion of UTF-8 text to Latin-1, the catalogue's single-byte encoding.
#pragma once

#include <string>
#include <string_view>

namespace indicizza {

// The Latin-1 bytes of `utf8`. Never fails: a Latin letter beyond Latin-1
// becomes its nearest form (transliteration.h), common typographic
// characters their ASCII look-alikes (dashes, quotes, the numero sign), and
// anything else without a Latin-1 form, or malformed, '?'.
std::string utf8ToLatin1Approximate(std::string_view utf8);

// The outcome of a strict conversion: on success `latin1` holds the bytes and
// `error` is empty; otherwise `error` says (in Italian) what could not be
// converted and `latin1` holds what was converted before it.
struct Latin1Conversion {
  std::string latin1;
  std::string error;
  bool malformed = false;  // the error is a sequence that is not UTF-8
  // The error is a letter that has a nearest Latin-1 form
  // (transliteration.h), which Letters::kTransliterated would have taken.
  bool transliterable = false;
  std::size_t replaced = 0;        // typographic characters replaced (see below)
  std::size_t transliterated = 0;  // letters written in their nearest form
  bool ok() const { return error.empty(); }
};

// What a strict conversion does with the common typographic characters
// beyond Latin-1.
enum class Typographic {
  kRefused,   // they are errors like any character beyond Latin-1
  kReplaced,  // each becomes its Latin-1 stand-in, counted in `replaced`:
              // U+2010-U+2015 dashes and U+2212 minus -> '-';
              // U+2018 U+2019 U+201A U+201B -> '\'';
              // U+201C U+201D U+201E U+201F -> '"';
              // U+2026 ellipsis -> "...";
              // U+2007 U+202F (no-break spaces) -> U+00A0;
              // U+2000-U+2006 U+2008-U+200A U+205F (other spaces) -> ' '
};

// What a strict conversion does with the Latin letters beyond Latin-1.
enum class Letters {
  kRefused,         // they are errors like any character beyond Latin-1
  kTransliterated,  // each becomes its nearest Latin-1 form (nearestLatin1),
                    // counted in `transliterated`
};

// The Latin-1 bytes of `utf8`, or an error naming the first malformed
// sequence or the first character above U+00FF (other than those replaced
// under Typographic::kReplaced or Letters::kTransliterated). Nothing else
// is approximated.
Latin1Conversion utf8ToLatin1(std::string_view utf8,
                              Typographic typographic = Typographic::kRefused,
                              Letters letters = Letters::kRefused);

// The UTF-8 form of Latin-1 bytes: bytes 0-127 stay, 128-255 become two
// bytes. Never fails; utf8ToLatin1 gives the bytes back.
std::string latin1ToUtf8(std::string_view latin1);

}  // namespace indicizza
