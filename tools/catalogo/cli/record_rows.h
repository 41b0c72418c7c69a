// The output of decifra and esporta: every record of a reading as a row of
// the tab-separated form that cifra reads.
#pragma once

#include <cstddef>

#include "catalogue/files/record_reader.h"
#include "catalogue/forms/tsv_rows.h"

namespace indicizza::catalogo {

// Writes fullHeader(), then each record `reader` gives as a row in
// `encoding`, to standard output. The reader's refusals and the records the
// form can't carry exactly (rowOfRecord) go to standard error, one line
// each, and are left out; progress dots too. Returns how many were left
// out. Throws ToolFailure when the reading fails.
std::size_t writeRecordRows(RecordReader& reader, TextEncoding encoding);

}  // namespace indicizza::catalogo
