// Labels for people: what the catalogue calls its fields (T1-T7, C1-C5)
// and its kind codes, from the optional file etichette.txt of the
// catalogue folder. One label a line, the name first, then blanks, then
// the label:
//   # the works catalogue
//   T1 Compositore
//   VO Voce o coro
// One line may say which field's values give a work's year, for the
// timeline of a search page (catalogue/forms/field_year.h reads the year):
//   ANNO C2
// Without it there is no timeline.
// UTF-8, in characters that Latin-1 has (as the records; the common
// typographic ones, such as dashes and curly quotes, are taken as their
// Latin-1 stand-ins); blank lines and lines that start with '#' are passed
// over. Without the file, or for a name it does not give, the label is the
// name itself. Nothing here prints.
#pragma once

#include <cstddef>
#include <filesystem>
#include <istream>
#include <map>
#include <string>
#include <string_view>

#include "base/status.h"

namespace indicizza {

inline constexpr const char* kLabelFileName = "etichette.txt";
// The name of the line that says which field gives the year.
inline constexpr std::string_view kYearFieldLine = "ANNO";
// The most bytes a line of the file may hold.
inline constexpr std::size_t kLongestLabelLine = 256;

// The labels a file gives, UTF-8. Plain data.
struct FieldLabels {
  std::map<std::string, std::string, std::less<>> fields;  // by field name: "T1"
  std::map<std::string, std::string, std::less<>> kinds;   // by kind code (Latin-1): "VO"
  std::string yearField;  // the field the ANNO line names ("C2"), or ""
};

// The label of field `name` (T1-T7, C1-C5), or `name` itself. The fields
// the file can't label (RecordNumber, KindCode, FlagA, FlagB) have labels
// of their own: "Numero", "Tipo", "Segno A", "Segno B".
std::string fieldLabel(const FieldLabels& labels, std::string_view name);

// The label of kind code `code` (Latin-1, as the index stores it): its own,
// else that of the code with its first letter in capitals (the flags'
// lower-case mark: aR takes AR's label), else the code itself as UTF-8.
std::string kindLabel(const FieldLabels& labels, std::string_view code);

// The labels of `in` (a labels file's text) into `labels`. A line names a
// field (T1-T7, C1-C5, exact case) or a kind code (one or two characters;
// T or C followed by digits is never a kind code), or is the ANNO line,
// whose value is a field name (T1-T7, C1-C5). Fails with
// kReadFailed, "etichette.txt, riga N: ...", at the first bad line: too
// long, a name with no label, a name that is neither (T8 included), a
// name given twice, a character Latin-1 lacks, an ANNO line that names no
// field; and "Errore durante la
// lettura di etichette.txt" when reading fails.
Status readFieldLabels(std::istream& in, FieldLabels& labels);

// The most bytes etichette.txt may hold: room for every field and every
// kind code many times over.
inline constexpr std::size_t kMaxLabelFileBytes = std::size_t{1} << 20;

// The labels of etichette.txt as read (its text, a byte-order mark at the
// start left out) into `labels`. Fails as readFieldLabels.
Status labelsOfText(std::string_view text, FieldLabels& labels);

}  // namespace indicizza
