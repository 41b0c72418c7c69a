// The terms of opere.idb that a query term stands for, and the records
// listed under them. Reads the index only; keeps no copy of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/berkeley_db.h"
#include "catalogue/files/read_only_database.h"
#include "search/query/term_folding.h"

namespace indicizza {

// Walks the keys of an open index database (opere.idb) with one key-only
// cursor. Not copyable; must not outlive `index`.
class IndexTerms {
 public:
  explicit IndexTerms(ReadOnlyDatabase& index) : index_(index) {}
  IndexTerms(const IndexTerms&) = delete;
  IndexTerms& operator=(const IndexTerms&) = delete;

  // Opens the cursor; called once, before the lookups. Fails with kNoHandle
  // "Errore nella creazione del cursore su opere.idb".
  Status open();

  // Every key of the index whose comparableTerm under `matching` equals
  // comparableTerm(`term`), or, for `prefix`, starts with it; in key order,
  // into `keys`.
  //
  // kFolded walks the B-tree instead of reading every key: from a prefix of
  // raw bytes it seeks (DB_SET_RANGE) each byte whose fold continues the
  // folded term and goes on only where some key starts that way, so a word
  // costs a few dozen seeks whatever the size of the index. Fails with
  // kReadFailed on a read error, kDamaged when the walk meets keys out of
  // order (a damaged file could otherwise make it go round for ever), and
  // kOverBudget, with no text, once `keys` would hold more than `maxKeys`.
  Status keysFor(std::string_view term, bool prefix, Matching matching, std::size_t maxKeys,
                 std::vector<std::string>& keys);

  // The record numbers listed under `key`, ascending, each once, into
  // `numbers` (empty for an absent key). Fails as fetchRecordNumbers.
  Status recordsUnder(std::string_view key, std::vector<RecordNumber>& numbers);

 private:
  // Whether some key starts with `raw`, into `found`; seeks there.
  Status anyKeyStartsWith(const std::string& raw, bool& found);
  Status walk(std::string& raw, std::size_t done, const std::string& folded, bool prefix,
              std::vector<std::string>& keys);
  // Adds `raw` when it is a key, or (prefix) every key starting with it.
  Status collect(const std::string& raw, bool prefix, std::vector<std::string>& keys);
  // Adds `key` unless the keys are already at maxKeys_.
  Status add(std::string_view key, std::vector<std::string>& keys) const;

  ReadOnlyDatabase& index_;
  bdb::Cursor cursor_;
  std::size_t maxKeys_ = 0;  // of the keysFor under way
};

}  // namespace indicizza
