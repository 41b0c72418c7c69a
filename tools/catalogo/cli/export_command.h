// catalogo esporta
#pragma once

#include "catalogue/tsv_rows.h"

namespace indicizza::catalogo {

// Writes every record stored in opere.ddb of the current folder (opened
// read-only) to standard output in the tab-separated form that `cifra`
// reads (fullHeader(), then one line per record, in ascending record
// number), in `encoding`: `cifra` of the output gives records whose first
// 524 bytes are the stored ones. An item that is not 524 bytes long, or a
// record the form can't carry exactly (see rowOfRecord), is reported on
// standard error by its number and left out; then, at the end, a ToolFailure
// says how many. Throws ToolFailure when the database is missing or can't be
// read.
int runExport(TextEncoding encoding);

}  // namespace indicizza::catalogo
