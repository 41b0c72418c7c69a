// The catalogue's two databases opened for reading only, and the lookups
// the read side makes in them. Nothing here writes to either file, prints
// or throws: a failure is a Status whose text names the file (and the key or
// term) in Italian, ready to be shown as it is.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/berkeley_db.h"
#include "base/file_identity.h"
#include "base/status.h"
#include "indexing/word_index.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"

namespace indicizza {

// A database of the current folder open read-only, with the file name its
// messages use. Owns the handle; not copyable.
struct ReadOnlyDatabase {
  bdb::Database handle;
  std::string fileName;
};

// The failures of reading `database`, in words: kReadFailed "Errore lettura
// NAME: REASON" (the reason is `cause`'s text, left out when it has none),
// and kNoHandle "Errore nella creazione del cursore su NAME".
// kDamaged "Errore lettura NAME: file danneggiato" says a walk met what no
// sound B-tree holds.
Status readFailure(const ReadOnlyDatabase& database, const Status& cause);
Status cursorFailure(const ReadOnlyDatabase& database);
Status damageFailure(const ReadOnlyDatabase& database);

// Opens `fileName` (opere.ddb or opere.idb) read-only as a B-tree into
// `database`. Fails with kCannotOpen, "File NAME indefinito" when it doesn't
// exist, "Errore apertura NAME: REASON" when the library can't open it; with
// kNotRegular, "Errore apertura NAME: non è un file regolare", for a named
// pipe, a device, a socket or a folder (refused in the same step as the
// open: never waited on).
Status openReadOnly(const std::string& fileName, ReadOnlyDatabase& database);

// Checks the pages of `database`'s file (see btree_pages.h) before it is
// walked: a walk over damaged pages could end early or never end. Fails with
// kDamaged "Errore lettura NAME: file danneggiato" when they are damaged,
// kForeign "NAME non è un database dell'indicizzatore (...)" when the file is
// not of the indexer's kind (kUnknownFormat too), kEncrypted with
// encryptedFileSentence when it is encrypted, kReadFailed "Errore lettura
// NAME" when it can't be read, and as openReadOnly when it can't be opened
// or is no regular file (never waited on); with kReplaced, "NAME è cambiato
// mentre si leggeva: riprovare", when `database` is open on another file
// than the one whose pages were read (a run renamed a new one in between).
// When `checked` is given it gets the identity of the file whose pages were
// read.
Status checkDatabasePages(const ReadOnlyDatabase& database,
                          std::optional<FileIdentity>* checked = nullptr);

// How a walk over `database` ended (see item_walk.h): ok when it went
// through every item, or found none (an empty database is taken as it is);
// otherwise kDamaged "Errore lettura NAME: file danneggiato", kReadFailed
// "Errore lettura NAME: REASON" or kNoHandle "Errore nella creazione del
// cursore su NAME".
Status checkWalkEnd(const ReadOnlyDatabase& database, const Status& walk);

// The record stored under `number` in the data database, descrambled, into
// `record`; nothing when the key is absent. Fails with kDamaged "Record di
// lunghezza errata in NAME, chiave N" when the item is not 524 bytes long,
// kReadFailed when the read fails.
Status fetchRecord(ReadOnlyDatabase& data, RecordNumber number, const ScrambleKey& key,
                   std::optional<DecodedRecord>& record);

// The record stored under `number`, descrambled, when the item is a whole
// stored record; nothing when the key is absent or its item is not 524
// bytes long (the indexer skips such items too). Fails with kReadFailed
// when the read fails.
Status fetchWholeRecord(ReadOnlyDatabase& data, RecordNumber number, const ScrambleKey& key,
                        std::optional<DecodedRecord>& record);

// The entries of stored index data, in stored order; nothing when its size is
// not a multiple of the stored entry size.
std::optional<std::vector<IndexEntry>> entriesOf(std::span<const std::uint8_t> stored);

// The record numbers of the entries stored under `term` in the index
// database, in stored order, into `numbers` (empty when the term is absent).
// Fails with kDamaged "Dati di lunghezza errata in NAME per il termine T"
// when the data is not a whole number of entries, kReadFailed when the read
// fails.
Status fetchRecordNumbers(ReadOnlyDatabase& index, std::string_view term,
                          std::vector<RecordNumber>& numbers);

}  // namespace indicizza
