// The index database: for every term, the entries of the records that carry
// it. A B-tree created when missing; an existing file keeps the terms this
// run does not produce.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

#include "indexing/word_index.h"

namespace indicizza {

inline constexpr const char* kIndexDatabaseFileName = "opere.idb";

// Stored form of an IndexEntry: record number (signed 32-bit, little-endian),
// the two kind-code bytes, two zero bytes.
inline constexpr std::size_t kStoredEntrySize = 8;
inline constexpr std::size_t kStoredKindCodeOffset = 4;
using StoredEntry = std::array<std::uint8_t, kStoredEntrySize>;
StoredEntry storedEntryOf(const IndexEntry& entry);
// The IndexEntry a stored entry holds (the inverse of storedEntryOf; the two
// trailing bytes are not read).
IndexEntry indexEntryOf(std::span<const std::uint8_t, kStoredEntrySize> stored);

// The write phase: reports "Creazione db indice", opens `path` (opere.idb of
// the working directory by default) on a handle of its own, creating it with
// mode 0664 when missing, puts every term of `index` in term order (key: the
// term's bytes; data: its stored entries, in array order) in bulk, writing
// a dot every 100 terms as the puts succeed, closes the database and ends
// the line of dots.
//
// Fatal stops: "db_create error", "Open error", "put error",
// "Errore chiusura opere.idb" when the close (which flushes the cache to the
// file) fails, and an interruption (see interruption.h).
void writeIndex(const WordIndex& index, const std::filesystem::path& path = kIndexDatabaseFileName);

}  // namespace indicizza
