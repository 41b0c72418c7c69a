// How found records are written out: for people (testo) and for scripts
// (tsv, csv, json). Every format has the same fixed columns, in this order:
// numero (the record number), tipo (the kind code as the index has it, its
// first letter lower case when the flags ask for it), T1-T7, C1-C5 (the
// fields without their padding blanks; an empty field is an empty column).
// Text is written as UTF-8. Nothing here prints.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "search/evaluation/search_options.h"
#include "search/presentation/facets.h"
#include "search/presentation/highlight.h"

namespace indicizza {

enum class OutputFormat {
  kText,  // "    49  aR  T1 | T2 | ... | C5", blanks at the end dropped; for a
          // terminal: control bytes written as escapes (see terminal_text.h)
  kTsv,   // a header line, then tab-separated lines; a tab, line feed,
          // carriage return or backslash in a value is written \t \n \r \\.
  kCsv,   // a header line, then comma-separated lines (RFC 4180 quoting:
          // a value holding a comma, quote, CR or LF is quoted, quotes
          // doubled); lines end with a line feed. A value a spreadsheet
          // would take for a formula goes behind a ' unless asked (CsvValues)
  kJson,  // JSON Lines: one object per record, keys as the column names
          // The last three keep every byte of a value (a control byte too),
          // quoted as the format wants; csv adds the ' of a formula.
};

// How csv writes a text value that a spreadsheet would take for a formula,
// or for the start of one: a value beginning with =, +, -, @, a tab or a
// carriage return. Guarded, by default, with a ' before it (OWASP's rule
// for CSV injection: the spreadsheet shows the value as text); or as it is,
// byte for byte. The record number is a number, and never guarded.
enum class CsvValues { kGuarded, kAsTheyAre };

// The format called `name` (testo, tsv, csv, json), or nothing.
std::optional<OutputFormat> outputFormatNamed(std::string_view name);

// The column names, in order: numero, tipo, T1..T7, C1..C5.
inline constexpr std::size_t kColumnCount = 2 + kTextFieldCount + kCodeFieldCount;
const std::array<std::string_view, kColumnCount>& columnNames();

// The fixed columns of one record, Latin-1 as stored.
struct ResultRow {
  RecordNumber number;
  std::string kindCode;
  std::array<std::string, kTextFieldCount + kCodeFieldCount> fields;  // T1..T7, C1..C5
};

ResultRow rowOf(const DecodedRecord& record);

// The header line of `format` with its line end; "" for testo and json.
std::string headerLine(OutputFormat format);

// The line of `row` in `format`, with its line end; `csv` says how csv
// writes a value that looks like a formula.
std::string formattedRow(OutputFormat format, const ResultRow& row,
                         CsvValues csv = CsvValues::kGuarded);

// The header line (with its line end) of a result set taken away whole,
// in the columns of `catalogo esporta` (fullHeader(): RecordNumber,
// KindCode, FlagA, FlagB, T1-T7, C1-C5), as tsv or csv.
std::string exportHeaderLine(OutputFormat format);

// The line (with its line end) of `record` under exportHeaderLine, each
// value its field's bytes without the padding, in UTF-8. tsv: the line
// `esporta` writes, save that a tab, line feed, carriage return or zero
// byte in a value, which the form has no way to write, is written as a
// blank. csv: every byte kept, quoted as csv quotes, a value that looks
// like a formula guarded as csv guards it (CsvValues::kGuarded).
std::string exportRow(OutputFormat format, const DecodedRecord& record);

// The testo line of `row` (formattedRow) with the bytes `marks` holds for
// its text and code fields between bold on and off (highlight.h): for a
// terminal only.
std::string highlightedTextRow(const ResultRow& row, const RecordHighlights& marks);

// `utf8` as a JSON string, quotes included, always valid JSON: made valid
// UTF-8 first (a byte that is not UTF-8 becomes U+FFFD, valid_utf8.h), then
// " and \ escaped, control bytes as \n \r \t or \u00XX; other bytes kept.
std::string jsonString(std::string_view utf8);

// The count line of a search: how many results, and which of them the page
// from result number `from` (1-based) shows: "4 record trovati", "1 record
// trovato, mostrato il 3°", "circa 986010 record trovati, mostrati 1-20"
// (an estimated total, see SearchResult), "Nessun record trovato" ("Nessun
// record con tutte le parole" when there are partial results). When there
// are full results and the page shows partial ones, it names the partial
// total too, as partialLine does: "4 record trovati, e 295 con alcune delle
// parole", "1 record trovato, e circa 1200 con alcune delle parole", "4
// record trovati, mostrati 3-4, e 295 con alcune delle parole".
std::string countLine(const SearchResult& result, std::uint64_t from);

// The line that counts the partial results (SearchResult::partialTotal):
// "Risultati parziali: 3 record con alcune delle parole" ("circa 3" when
// estimated); "" when there are none.
std::string partialLine(const SearchResult& result);

// What a JSON page says beyond the results: the query as run, its tree
// (each record object then also lists, under "termini", the index terms
// it matched, highlight.h), and the results' facets when counted.
struct JsonPageExtras {
  std::string_view ranQuery;
  const QueryNode* ranRoot = nullptr;
  const FacetCounts* facets = nullptr;
  // How the query was read, a sentence a note (reading_notes.h).
  std::vector<std::string> notes;
};

// A whole search page as one JSON object, for a program that answers with
// JSON: {"totale":N,"esatto":true|false,"da":D,"ordina":"rilevanza",
// "record":[row objects of the json format, each with "termini":[...]],
// "parziali":{"totale":N,"esatto":true|false,"record":[...]},"ricerca":"...",
// "note":["..."],"faccette":{...}}; "ricerca" is `extras.ranQuery`, the query
// that was run (UTF-8: a correction's, when it ran in place of the one
// asked), "note" the sentences of how it was read (`extras.notes`); "esatto"
// is false when the total is an estimate (see SearchResult). "record" holds
// the full results of the page, "parziali" its partial ones. "faccette",
// only when `extras.facets` is set: {"contati":N,"risultati":M,"esatte":
// true|false,"tipo":[values],"T1":[values],"T3":[values]}, each value
// {"valore":"...","conteggio":N} with "restringe":"the narrowed query" when
// the query language can say it (facets.h).
std::string jsonPage(const SearchResult& result, const SearchOptions& options,
                     const JsonPageExtras& extras);

}  // namespace indicizza
