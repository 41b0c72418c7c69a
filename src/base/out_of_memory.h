// What a program of the catalogue says when it runs out of memory: the
// indexer's fatal message, and catalogo's failure (exit status 2).
#pragma once

namespace indicizza {

// Said once std::bad_alloc (or std::length_error, a size no memory could
// hold) has unwound to the entry point.
inline constexpr const char* kOutOfMemoryMessage = "Memoria insufficiente";

}  // namespace indicizza
