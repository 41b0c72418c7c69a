// catalogo cifra FILE.tsv
#pragma once

#include <string>

#include "catalogue/tsv_rows.h"

namespace indicizza::catalogo {

struct EncodeCommand {
  std::string input;  // a file name, or "-" for standard input
  TextEncoding encoding = TextEncoding::kUtf8;
  // Replace typographic characters beyond Latin-1 (UTF-8 input only).
  bool replaceTypographic = false;
  // Let several lines carry the same record number (the indexer keeps the
  // last one).
  bool allowRepeatedNumbers = false;
};

// Turns the tab-separated input (a header line, then one record per line;
// see tsv_rows.h) into opere.cry of the current folder, each record
// scrambled with the build's key, in line order. A UTF-8 byte order mark
// before the header is dropped. The header must name RecordNumber. Every
// bad line is reported on standard error with its line number and field,
// and so is every record number carried by more than one line (with the
// lines; unless allowRepeatedNumbers); when UTF-8 decoding failed, a line
// suggests --latin1. opere.cry is replaced only when the whole input is
// good (written under a temporary name, then renamed), otherwise left as it
// was. Progress dots on standard error; "N record scritti in opere.cry" at
// the end, after the number of typographic characters replaced, if any.
// Returns kExitFound; throws ToolFailure (after the line messages) when
// anything was wrong.
int runEncode(const EncodeCommand& command);

}  // namespace indicizza::catalogo
