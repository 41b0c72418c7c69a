// The tab-separated form of records: a header line naming layout fields
// (see layout_fields.h), then one line per record holding the fields' values
// without their padding. Lines end with a line feed (a carriage return before
// it is dropped on input); values never hold a tab, line feed, carriage
// return or zero byte. Text is UTF-8 or Latin-1, the catalogue's bytes being
// Latin-1.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/text/latin1.h"
#include "input/decoded_record.h"
#include "input/plain_record.h"

namespace indicizza {

enum class TextEncoding { kUtf8, kLatin1 };

// The most bytes a line of the form may hold before its line feed; a longer
// one is refused unread (see line_reader.h). A record's line is far shorter:
// 525 bytes in 16 fields and 15 tabs, each byte at most two of UTF-8, or
// three for a typographic character --sostituisci replaces.
inline constexpr std::size_t kLongestTsvLine = 64 * 1024;

// The parts of `line` between tabs (one part for a line with no tab). The
// views point into `line`.
std::vector<std::string_view> splitTabs(std::string_view line);

// The fields named by a header line, in column order. Any subset of the
// layout's fields in any order; unknown or repeated names are appended to
// `errors` ("intestazione, colonna N: ...") and give nothing.
std::optional<std::vector<const LayoutField*>> parseHeader(std::string_view line,
                                                           std::vector<std::string>& errors);

// The header line of every field of the layout, in column order (no line
// end).
std::string fullHeader();

// How recordOfRow reads the values of a file, and what it met in them.
struct RowDecoding {
  TextEncoding encoding = TextEncoding::kUtf8;
  // UTF-8 only: whether typographic characters beyond Latin-1 are replaced
  // (see Typographic).
  Typographic typographic = Typographic::kRefused;
  std::size_t replaced = 0;       // typographic characters replaced so far
  bool sawMalformedUtf8 = false;  // some value was not UTF-8
  // UTF-8 only: whether Latin letters beyond Latin-1 are written in their
  // nearest Latin-1 form (see Letters). Each value so changed is handed to
  // `onTransliterated` when set, as "riga L, campo F: «before» scritto
  // «after»" (UTF-8, control bytes escaped), so that nothing changes
  // silently.
  Letters letters = Letters::kRefused;
  std::function<void(const std::string&)> onTransliterated;
  std::size_t transliteratedValues = 0;  // values changed so far
  // Some value was refused for a letter that had a nearest Latin-1 form.
  bool sawTransliterable = false;
};

// The record of data line `lineNumber` (a 1-based line of the file, used in
// messages) holding `line` (no line end) under `columns`: each value is
// converted to Latin-1 as `decoding` says and written left-aligned,
// blank-padded into its field; fields without a column are blanks. Every
// problem is appended to `errors` as "riga L: ..." or "riga L, campo F: ..."
// (wrong number of values, unconvertible text, a zero byte or carriage
// return, a value longer than its field, a record number that is not
// isRecordNumberText); then nothing is returned.
std::optional<PlainRecord> recordOfRow(std::string_view line, std::size_t lineNumber,
                                       const std::vector<const LayoutField*>& columns,
                                       RowDecoding& decoding, std::vector<std::string>& errors);

// Whether `value` (Latin-1, at most the six bytes of the field) is a record
// number as the tab-separated form takes it: decimal digits, one '+' or '-'
// just before them if wanted, and blanks before or after. The indexer reads
// the field as atoi reads text (see recordNumberOf): it skips leading
// blanks, takes a sign and the digits, and stops at the first other byte,
// the padding included; so such a value gives exactly the number written,
// while "12a" would give 12, and "abc" or an empty field 0.
bool isRecordNumberText(std::string_view value);

// The record number of each good line of a file, with the line's number.
using NumberedLines = std::vector<std::pair<RecordNumber, std::size_t>>;

// The record numbers carried by more than one line of `lines` (sorted here
// by number, lines kept in order): for each, when `report` is given, one
// message handed to it ("numero di record 7 ripetuto: righe 2, 4"), in
// number order. Returns how many such numbers there are.
std::size_t repeatedRecordNumbers(NumberedLines& lines,
                                  const std::function<void(std::string)>& report = {});

// The line (no line end) of a whole or stored record under fullHeader(), in
// `encoding`: each field's bytes without their trailing blanks. Records the
// line can't carry exactly are refused with a message appended to `errors`,
// starting with `place` ("record 5"): a non-blank byte outside every field,
// or a tab, line feed, carriage return or zero byte in a value. So
// recordOfRow of the line gives back the same bytes, unless the number
// field holds no isRecordNumberText (it is written as stored, so that
// nothing is lost, and recordOfRow then refuses the line by name).
std::optional<std::string> rowOfRecord(const DecodedRecord& record, std::string_view place,
                                       TextEncoding encoding, std::vector<std::string>& errors);

}  // namespace indicizza
