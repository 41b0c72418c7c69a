// The index database: for every term, the entries of the records that carry
// it. A B-tree created when missing; an existing file keeps the terms this
// run does not produce.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>

#include "base/berkeley_db.h"
#include "base/shadow_file.h"
#include "base/status.h"
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

// The fatal message of an index database that the run can't use; removing
// the file lets the next run build it anew.
inline constexpr const char* kIndexDatabaseDamaged =
    "opere.idb danneggiato: rimuoverlo per ricostruirlo";

// Looks at the index database at `path` before the run puts anything
// anywhere: removes the working copy a killed run may have left, and checks
// the file's pages (see btree_pages.h). Gives the check's verdict: ok,
// kForeign or kDamaged, or kCannotOpen or kReadFailed when the file is
// missing or can't be read (left to the write phase, which creates it or
// says why it can't). Requires the catalogue lock (see catalogue_lock.h).
Status tryCheckIndexDatabase(const std::filesystem::path& path);

// The step over tryCheckIndexDatabase, on opere.idb of the working directory
// by default. Fatal stop kIndexDatabaseDamaged for kForeign or kDamaged.
void checkIndexDatabase(const std::filesystem::path& path = kIndexDatabaseFileName);

// The working copy of the index database in the making, on a thread of its
// own while the scan goes on (see ShadowCopyInProgress). Not copyable.
struct IndexDatabaseCopy {
  std::filesystem::path target;  // the file opere.idb names, links followed
  Status access;                 // kNotFound, or kCannotOpen when it may not be written
  std::unique_ptr<ShadowCopyInProgress> copying;  // when it exists and may be written
};

// Starts the working copy of the index database at `path` (opere.idb of the
// working directory by default) when there is such a file: the terms of
// earlier runs that this one does not produce are kept.
IndexDatabaseCopy startIndexCopy(const std::filesystem::path& path = kIndexDatabaseFileName);

// The index database while the write phase writes it: a handle on its
// working copy (see shadow_file.h).
struct IndexDatabase {
  ShadowFile shadow;  // destroyed after the handle on it
  bdb::Database handle;
};

// Opens the working copy of the index database: the copy of `copy`, or,
// when there was no file, a new B-tree (mode 0664). Fails with kCannotOpen
// when the file may not be written or can't be opened as a B-tree;
// kReadFailed, kForeign or kDamaged when it can't be copied as one;
// kWriteFailed when the working copy can't be made; kNoHandle when no
// handle can be made.
Status tryOpenIndexDatabase(IndexDatabaseCopy& copy, IndexDatabase& database);

// Puts every term of `index` in term order (key: the term's bytes; data:
// its stored entries, in array order), in bulk, telling `stored` after each
// bulk put how many terms it stored. A helper thread gathers the bulk puts
// (the terms' order and arrays) while this thread makes them. Fails with kWriteFailed when a put
// fails, kInterrupted when a signal arrives (looked at before each term).
Status tryPutTerms(IndexDatabase& database, const WordIndex& index,
                   const std::function<void(std::size_t terms)>& stored);

// Closes the working copy (which writes the library's cache to it) and puts
// it in place of the file (see ShadowFile::commit). Fails with
// kWriteFailed; the file is then as it was before the run.
Status tryCommitIndexDatabase(IndexDatabase& database);

// The write phase: reports "Creazione db indice", opens the working copy
// started by startIndexCopy, puts every term of `index`, writing a dot every
// 100 terms as the puts succeed, commits the copy and ends the line of dots.
//
// Fatal stops: "db_create error" (kNoHandle); "Errore copia opere.idb" when
// the working copy can't be made; "Open error" for the other failures of
// the open; "put error"; "Errore chiusura opere.idb" when the close or the
// replacement fails; and an interruption (see interruption.h). After any of
// them opere.idb is as it was before the run.
void writeIndex(const WordIndex& index, IndexDatabaseCopy& copy);

}  // namespace indicizza
