// The catalogue's two databases opened for reading only, and the lookups the
// catalogo commands make in them. Nothing here writes to either file.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/berkeley_db.h"
#include "base/status.h"
#include "indexing/word_index.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"

namespace indicizza::catalogo {

// A database of the current folder open read-only, with the file name its
// messages use. Owns the handle; not copyable.
struct ReadOnlyDatabase {
  bdb::Database handle;
  std::string fileName;
};

// Opens `fileName` (opere.ddb or opere.idb) read-only as a B-tree. Throws
// ToolFailure "File NAME indefinito" when it doesn't exist, "Errore apertura
// NAME: REASON" when the library can't open it.
ReadOnlyDatabase openReadOnly(const std::string& fileName);

// Checks the pages of `database`'s file (see btree_pages.h) before it is
// walked: a walk over damaged pages could end early or never end. Throws
// ToolFailure "Errore lettura NAME: file danneggiato" when they are damaged,
// "NAME non è un database dell'indicizzatore (...)" when the file is not of
// the indexer's kind, "Errore lettura NAME" when it can't be read.
void checkDatabasePages(const ReadOnlyDatabase& database);

// Checks how a walk over `database` ended (see item_walk.h): returns when it
// went through every item, or found none (an empty database is taken as it
// is); otherwise throws ToolFailure "Errore lettura NAME: file danneggiato",
// "Errore lettura NAME: REASON" or "Errore nella creazione del cursore su
// NAME".
void checkWalkEnd(const ReadOnlyDatabase& database, const Status& status);

// The record stored under `number` in the data database, descrambled; nothing
// when the key is absent. Throws ToolFailure when the item is not 524 bytes
// long or the read fails.
std::optional<DecodedRecord> fetchRecord(ReadOnlyDatabase& data, RecordNumber number,
                                         const ScrambleKey& key);

// The record stored under `number`, descrambled, when the item is a whole
// stored record; nothing when the key is absent or its item is not 524
// bytes long (the indexer skips such items too). Throws ToolFailure when
// the read fails.
std::optional<DecodedRecord> fetchWholeRecord(ReadOnlyDatabase& data, RecordNumber number,
                                              const ScrambleKey& key);

// The entries of stored index data, in stored order; nothing when its size is
// not a multiple of the stored entry size.
std::optional<std::vector<IndexEntry>> entriesOf(std::span<const std::uint8_t> stored);

// The entries stored under `term` in the index database; empty when the term
// is absent. Throws ToolFailure when the data is malformed or the read fails.
std::vector<IndexEntry> fetchEntries(ReadOnlyDatabase& index, std::string_view term);

// The record numbers of the entries stored under `term`, in stored order
// (fetchEntries without the kind codes, for long lists).
std::vector<RecordNumber> fetchRecordNumbers(ReadOnlyDatabase& index, std::string_view term);

}  // namespace indicizza::catalogo
