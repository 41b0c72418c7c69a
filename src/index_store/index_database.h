// The index database: for every term, the entries of the records that carry
// it. A B-tree created when missing; an existing file keeps the terms this
// run does not produce.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "base/berkeley_db.h"
#include "base/btree_page_file.h"
#include "base/file_identity.h"
#include "base/shadow_file.h"
#include "base/status.h"
#include "index_store/index_proof.h"
#include "indexing/word_index.h"

namespace indicizza {

struct IndexChanges;

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

// The fatal message of an index database that can't be opened (or
// created) as a B-tree.
inline constexpr const char* kIndexDatabaseOpenFailed = "Open error";

// The fatal message of an index database that another program replaced,
// changed or made while the run worked: the file found is left as it is.
inline constexpr const char* kIndexDatabaseReplaced =
    "opere.idb cambiato da altri durante l'esecuzione: non sostituito";

// What the run found at opere.idb before the load: the identity of the file
// whose pages it checked, or nothing when there was no file (the write
// phase then creates one). The write phase reads only that file, and
// replaces only that file.
using IndexDatabaseStart = std::optional<FileIdentity>;

// Looks at the index database at `path` before the run puts anything
// anywhere: removes the working copy a killed run may have left, and checks
// that the file, when there is one, is a regular file the run may read and
// write, and its pages (see btree_pages.h), into `start`. Fails with
// kCannotOpen (a loop of symbolic links, a file that may not be read or
// written), kNotRegular (a folder, a device, a named pipe, a socket: never
// waited on), kReadFailed, or the page check's verdict: kUnknownFormat,
// kEncrypted, kForeign or kDamaged. A file that is not there is no failure.
// Requires the catalogue lock (see catalogue_lock.h).
Status tryCheckIndexDatabase(const std::filesystem::path& path, IndexDatabaseStart& start);

// The step over tryCheckIndexDatabase, on opere.idb of the working directory
// by default, before the load: everything wrong with the file is found
// here, while both databases are as they were. A B-tree the library opens
// but this program can't use gets fatal stop kIndexDatabaseDamaged, for
// kForeign or kDamaged; every other failure gets the write phase's message
// for a file it can't open, kIndexDatabaseOpenFailed (with a note on
// standard error that says it is encrypted, for kEncrypted).
IndexDatabaseStart checkIndexDatabase(const std::filesystem::path& path = kIndexDatabaseFileName);

// Before anything is touched: fatal stop kIndexDatabaseOpenFailed when the
// index database at `index` is the data database at `data` under another
// name (a link to it), whose working copy and items it would share.
void refuseIndexThatIsTheData(const std::filesystem::path& data,
                              const std::filesystem::path& index = kIndexDatabaseFileName);

// Where the write phase writes the index database, and whether it may.
struct IndexDatabaseTarget {
  std::filesystem::path target;  // the file opere.idb names, links followed
  Status access;                 // ok when it exists and may be written; kNotFound; kCannotOpen
};

// Looks for the index database at `path` (opere.idb of the working directory
// by default).
IndexDatabaseTarget findIndexDatabase(const std::filesystem::path& path = kIndexDatabaseFileName);

// How the write phase makes the new B-tree: as pages written in one pass
// from the items in key order (btree_writer.h), or through the library's
// bulk puts, kept as the reference the pages are held to.
enum class IndexWriting { kPages, kLibraryPuts };

// The index database while the write phase writes it: its new version, a
// B-tree made from nothing in a working copy (see shadow_file.h), and the
// file as it was, read for the terms of earlier runs that this one does not
// produce.
struct IndexDatabase {
  ShadowFile shadow;      // destroyed after the handles on it
  BtreePageFile pages;    // on the working copy, for IndexWriting::kPages
  bdb::Database handle;   // on the working copy, for IndexWriting::kLibraryPuts
  bdb::Database earlier;  // read only; not open when there was no file
};

// Opens the index database for the write phase: a new B-tree (mode 0664) at
// the working copy of `target`, to be written as `writing` says, and, when
// the file exists, the file itself for reading. Fails with kReplaced when the file is not the one
// found before the load (`start`), or came since there was none, before it is read; kCannotOpen
// when the file may not be written or can't be opened as a B-tree; kWriteFailed when the working
// copy can't be made; kNoHandle when no handle can be made.
Status tryOpenIndexDatabase(const IndexDatabaseTarget& target, const IndexDatabaseStart& start,
                            IndexDatabase& database, IndexWriting writing = IndexWriting::kPages);

// Puts into the working copy, in key order and in bulk, every term of
// `index` (key: the term's bytes; data: its stored entries, in array order)
// and every item of the earlier file whose key is no term of `index`, as it
// was. A helper thread walks the earlier file (see item_walk.h) and gathers
// the bulk puts while this thread makes them. Tells `stored` (when set)
// after each bulk put how many terms of `index` it stored. `termsMade`,
// when given, gets how many terms of the new file some record carries. Fails with
// kWriteFailed when a put fails; kReadFailed, kNoHandle or kDamaged when the
// earlier file can't be walked to its end; kInterrupted when a signal
// arrives (looked at before each term).
//
// With `changes` (an increment, see index_changes.h), `index` holds the
// terms of the records read only, and each term gets the array reading
// every record would give it; `stored` is then told nothing. Fails besides
// as `changes->carries` does.
Status tryPutTerms(IndexDatabase& database, const TermOrder& index,
                   const std::function<void(std::size_t terms)>& stored,
                   const IndexChanges* changes = nullptr, std::uint64_t* termsMade = nullptr);

// Closes the working copy (which writes the pages still held, and the
// library's cache, to it) and puts it in place of the file (see ShadowFile::commit). Fails with
// kWriteFailed, the file then as it was before the run; with kReplaced when
// the file is not the one found before the load, which is then left as it
// was found.
//
// With `proof`, the copy keeps it (index_proof.h), its `index` identity
// made the copy's own, before it takes the file's place.
Status tryCommitIndexDatabase(IndexDatabase& database,
                              const std::optional<IndexProof>& proof = std::nullopt);

// What the new index is the index of, for its proof: opere.ddb as the run
// put it in place (nothing: no proof is kept), its records, and the digest
// of the term rules it was read with.
struct IndexedData {
  std::optional<FileIdentity> data;
  std::uint64_t records = 0;
  std::uint64_t termRules = 0;
};

// What the write phase waits for before it says anything: opere.ddb in
// place. Neither function set: it is in place already.
struct IndexedDataReady {
  // Whether `wait` would return at once.
  std::function<bool()> done;
  // Waits, and gives what the new index is the index of; it may stop the
  // run itself when opere.ddb could not be put in place.
  std::function<IndexedData()> wait;
};

// The write phase: opens the index database at `path` (opere.idb of the
// working directory by default), which must be the one found before the
// load (`start`), puts every term of `index` and keeps those of earlier
// runs, reporting "Creazione db indice" and a dot for every 100 terms of
// `index` put, commits the working copy with the proof that it is the
// index of what `ready` gives (none without it) and ends the line of dots.
// The phase works silently until `ready` is done: it says nothing before
// it, and then the report and the dots of the terms put meanwhile. With
// `changes` (an increment), `index` holds the terms of the records read
// only (see tryPutTerms), and the phase is silent until the new file is
// written: the report, the dots (of the terms some record carries) and any
// fatal stop come then.
//
// Fatal stops: kIndexDatabaseReplaced when the file is not the one found
// before the load; "db_create error" (kNoHandle); "Errore copia opere.idb" when
// the working copy can't be made or the file as it was can't be read to its
// end; kIndexDatabaseDamaged when its items are out of order;
// kIndexDatabaseOpenFailed for the other failures of the open; "put error";
// "Errore chiusura opere.idb" when the close or the replacement fails; and
// an interruption (see interruption.h). After any of them opere.idb is as it was before the
// run.
void writeIndex(const WordIndex& index, const IndexDatabaseStart& start,
                const IndexedDataReady& ready = {}, const IndexChanges* changes = nullptr,
                const std::filesystem::path& path = kIndexDatabaseFileName);

}  // namespace indicizza
