// catalogo decifra
#pragma once

#include "catalogue/tsv_rows.h"

namespace indicizza::catalogo {

// Writes opere.cry of the current folder to standard output in its
// tab-separated form (fullHeader, then one line per record, in file order),
// in `encoding`. Records the form can't carry exactly (see rowOfRecord) and
// a short final record are reported on standard error by position and left
// out. Progress dots on standard error. Returns kExitFound when every record
// was written; throws ToolFailure when the file can't be read or any record
// was left out.
int runDecode(TextEncoding encoding);

}  // namespace indicizza::catalogo
