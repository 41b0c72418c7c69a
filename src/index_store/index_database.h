// The index database: for every term, the entries of the records that carry
// it. A B-tree created when missing; an existing file keeps the terms this
// run does not produce.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "indexing/word_index.h"
#include "records/shadow_file.h"

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

// The fatal message of an index database that the run can't use; removing
// the file lets the next run build it anew.
inline constexpr const char* kIndexDatabaseDamaged = "opere.idb danneggiato: rimuoverlo per ricostruirlo";

// Looks at the index database at `path` (opere.idb of the working directory
// by default) before the run puts anything anywhere: removes the working
// copy a killed run may have left, and checks the file's pages when it
// exists (see btree_pages.h). Fatal stop kIndexDatabaseDamaged when they are
// damaged or the file is not a B-tree of this program's kind. Requires the
// catalogue lock (see catalogue_lock.h).
void checkIndexDatabase(const std::filesystem::path& path = kIndexDatabaseFileName);

// The working copy of the index database, made on a thread of its own
// while the scan goes on (see ShadowCopyInProgress). Not copyable.
struct IndexDatabaseCopy {
  std::filesystem::path target;                   // the file opere.idb names, links followed
  bool exists = false;                            // whether there is such a file
  bool writable = false;                          // whether the user may write it
  std::unique_ptr<ShadowCopyInProgress> copying;  // when it exists and may be written
};

// Starts the working copy of the index database at `path` (opere.idb of the
// working directory by default) when there is such a file: terms of earlier
// runs that this one does not produce are kept. Prints nothing: writeIndex
// reports what went wrong.
IndexDatabaseCopy startIndexCopy(const std::filesystem::path& path = kIndexDatabaseFileName);

// The write phase: reports "Creazione db indice", takes the working copy
// from `copy` (or, when there was no index database, creates one with mode
// 0664), puts every term of `index` in term order (key: the term's bytes;
// data: its stored entries, in array order) in bulk, writing a dot every 100
// terms as the puts succeed, closes the copy, puts it in place of the file
// (see shadow_file.h) and ends the line of dots.
//
// Fatal stops: "db_create error"; "Open error" when the file can't be read,
// may not be written or opened as a B-tree; "Errore copia opere.idb" when the
// working copy can't be made; "put error"; "Errore chiusura opere.idb" when
// the close (which flushes the cache to the copy) or the replacement fails;
// and an interruption (see interruption.h). After any of them opere.idb is
// as it was before the run.
void writeIndex(const WordIndex& index, IndexDatabaseCopy& copy);

}  // namespace indicizza
