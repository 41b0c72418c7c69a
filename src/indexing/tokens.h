// Cutting text into tokens: maximal runs of bytes that are not separators.
// What is done with the tokens is up to the caller.
#pragma once

#include <string_view>

#include "indexing/byte_classes.h"

namespace indicizza {

// Calls `visit(token)` for each token of `text`, in order. Tokens are never
// empty and are split only at separator bytes (never between letters and
// digits). The views point into `text`.
template <typename Visit>
void forEachToken(std::string_view text, Visit&& visit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  for (;;) {
    while (p != end && isSeparator(*p)) ++p;
    if (p == end) return;
    const char* start = p;
    while (p != end && !isSeparator(*p)) ++p;
    visit(std::string_view(start, static_cast<std::size_t>(p - start)));
  }
}

}  // namespace indicizza
