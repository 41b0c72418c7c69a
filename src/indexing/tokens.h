// Cutting text into tokens: maximal runs of bytes that are not separators.
// What is done with the tokens is up to the caller.
#pragma once

#include <cstdint>
#include <string_view>

#include "indexing/byte_classes.h"

namespace indicizza {

// Calls `visit(token, classes)` for each token of `text`, in order, where
// `classes` is the union of the kByteClasses of its bytes (`classes &
// kDigit`: the token holds a digit), found in the same pass. Tokens are never
// empty and are split only at separator bytes (never between letters and
// digits). The views point into `text`.
template <typename Visit>
void forEachClassedToken(std::string_view text, Visit&& visit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  for (;;) {
    while (p != end && isSeparator(*p)) ++p;
    if (p == end) return;
    const char* const start = p;
    std::uint8_t classes = 0;
    for (; p != end; ++p) {
      const std::uint8_t byteClasses = kByteClasses[static_cast<std::uint8_t>(*p)];
      if (byteClasses & kSeparator) break;
      classes |= byteClasses;
    }
    visit(std::string_view(start, static_cast<std::size_t>(p - start)), classes);
  }
}

// The same, calling `visit(token)`.
template <typename Visit>
void forEachToken(std::string_view text, Visit&& visit) {
  forEachClassedToken(text, [&](std::string_view token, std::uint8_t) { visit(token); });
}

}  // namespace indicizza
