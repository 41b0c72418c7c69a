// Whether opere.idb holds exactly what a run of the indexer over the stored
// records would put there: what `catalogo verifica` reports.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "input/stop_words.h"

namespace indicizza {

// What a check went through, and how many disagreements it found.
struct IndexCheck {
  std::size_t records = 0;       // stored records (items of 524 bytes)
  std::size_t skippedItems = 0;  // items of other lengths, skipped as the indexer skips them
  std::size_t terms = 0;         // keys of the index
  std::size_t entries = 0;       // entries stored under them
  std::size_t disagreements = 0;
};

// Checks that `index` (opere.idb) holds exactly the entries a run of the
// indexer over the records of `data` (opere.ddb) and `stopWords` would give:
// indexes every stored record of 524 bytes with the indexer's own rules
// (terms, stop words, entry), then walks the index in key order beside that.
// Each disagreement is handed to `report` as one line, in term order, as it
// is found:
//   an entry whose record is not stored ("Voce senza record: T -> N"),
//   an entry whose record no longer carries the term ("Voce superata"; for a
//     word now a stop word, "Voce di una parola di noused.txt"),
//   an entry whose kind code differs from the record's ("Tipo errato"),
//   a record carrying a term with no entry for it ("Voce mancante"),
//   stored data that is not a whole number of entries ("Dati di lunghezza
//     errata").
// The pages of both files are checked first, and the data database is
// walked with the scan's checks: a damaged or foreign file fails (as
// checkDatabasePages and checkWalkEnd say) before any line is reported, or,
// for the index, at the point of its walk where the damage shows.
Status checkIndex(ReadOnlyDatabase& index, ReadOnlyDatabase& data, const StopWordSet& stopWords,
                  const std::function<void(const std::string&)>& report, IndexCheck& check);

}  // namespace indicizza
