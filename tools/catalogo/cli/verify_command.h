// catalogo verifica
#pragma once

namespace indicizza::catalogo {

// Checks that opere.idb of the current folder holds exactly the entries a
// run of the indexer over opere.ddb and noused.txt would give: it indexes
// every stored record of 524 bytes with the indexer's own rules (terms,
// stop words, entry), then walks the index database in key order beside
// that index. Writes one line per disagreement on standard output:
//   an entry whose record is not stored ("Voce senza record"),
//   an entry whose record no longer carries the term ("Voce superata"; for a
//     word now in noused.txt, "Voce di una parola di noused.txt"),
//   an entry whose kind code differs from the record's ("Tipo errato"),
//   a record carrying a term with no entry for it ("Voce mancante"),
//   stored data that is not a whole number of entries ("Dati di lunghezza
//     errata"),
// then a totals line. Returns kExitFound with no disagreement, kExitNotFound
// otherwise. Opens both databases read-only and writes no file. Throws
// ToolFailure when a file is missing or can't be read.
int runVerify();

}  // namespace indicizza::catalogo
