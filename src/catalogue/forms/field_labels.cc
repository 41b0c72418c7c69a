#include "catalogue/forms/field_labels.h"

#include <algorithm>
#include <sstream>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/text/latin1.h"
#include "catalogue/text/line_reader.h"
#include "catalogue/text/terminal_text.h"
#include "catalogue/text/utf8.h"
#include "indexing/byte_classes.h"

namespace indicizza {
namespace {

// A kind code is at most this many bytes (Latin-1 characters).
constexpr std::size_t kKindCodeLength = 2;
// The comment mark, as a line's first byte after its blanks.
constexpr char kCommentMark = '#';

// The labels of the layout's own fields, which etichette.txt doesn't give.
constexpr std::pair<std::string_view, std::string_view> kLayoutLabels[] = {
    {kRecordNumberName, "Numero"},
    {"KindCode", "Tipo"},
    {"FlagA", "Segno A"},
    {"FlagB", "Segno B"},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view withoutBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A name as a message quotes it: its control bytes as escapes
// (terminal_text.h).
std::string quoted(std::string_view name) { return "«" + terminalText(name) + "»"; }

Status badLine(std::size_t line, const std::string& why) {
  return Status::described(Status::Code::kReadFailed, std::string(kLabelFileName) + ", riga " +
                                                          std::to_string(line) + ": " + why);
}

bool isLabelledField(std::string_view name) {
  const LayoutField* field = findLayoutField(name);
  return field && (field->kind == FieldKind::kText || field->kind == FieldKind::kCode);
}

// Whether `name` is written the way field names are (T or C, then digits): such a
// name is a field or a mistake, never a kind code.
bool looksLikeField(std::string_view name) {
  if (name.size() < 2 || (name.front() != 'T' && name.front() != 'C')) return false;
  return std::all_of(name.begin() + 1, name.end(), isDigit);
}

// Where a name was first given, for the message about a second one.
using FirstLines = std::map<std::string, std::size_t, std::less<>>;

// One line of the file, blank and comment lines excluded, into `labels`.
Status readLabelLine(std::size_t number, std::string_view line, FieldLabels& labels,
                     FirstLines& firstLines) {
  const std::size_t nameEnd = std::min(line.find_first_of(" \t"), line.size());
  const std::string_view name = line.substr(0, nameEnd);
  const std::string_view label = withoutBlanks(line.substr(nameEnd));
  if (label.empty()) return badLine(number, "manca l'etichetta dopo " + quoted(name));
  const Latin1Conversion labelText = utf8ToLatin1(label, Typographic::kReplaced);
  if (!labelText.ok()) return badLine(number, labelText.error);
  const Latin1Conversion nameText = utf8ToLatin1(name);
  if (!nameText.ok()) return badLine(number, nameText.error);
  const auto [first, added] = firstLines.try_emplace(nameText.latin1, number);
  if (!added) {
    return badLine(
        number, quoted(name) + " ha già un'etichetta alla riga " + std::to_string(first->second));
  }
  if (nameText.latin1 == kYearFieldLine) {
    if (!isLabelledField(labelText.latin1)) {
      return badLine(number, quoted(label) + " non è un campo (T1-T7, C1-C5)");
    }
    labels.yearField = labelText.latin1;
    return {};
  }
  const bool field = isLabelledField(nameText.latin1);
  if (!field && looksLikeField(nameText.latin1)) {
    return badLine(number, quoted(name) + " non è un campo (T1-T7, C1-C5)");
  }
  if (!field && nameText.latin1.size() > kKindCodeLength) {
    return badLine(number, quoted(name) +
                               " non è un campo (T1-T7, C1-C5) né un codice di tipo (al più " +
                               std::to_string(kKindCodeLength) + " caratteri)");
  }
  (field ? labels.fields : labels.kinds)[nameText.latin1] = latin1ToUtf8(labelText.latin1);
  return {};
}

}  // namespace

std::string fieldLabel(const FieldLabels& labels, std::string_view name) {
  const auto found = labels.fields.find(name);
  if (found != labels.fields.end()) return found->second;
  for (const auto& [field, label] : kLayoutLabels) {
    if (field == name) return std::string(label);
  }
  return std::string(name);
}

std::string kindLabel(const FieldLabels& labels, std::string_view code) {
  auto found = labels.kinds.find(code);
  if (found == labels.kinds.end() && !code.empty()) {
    std::string capital(code);
    capital.front() = asciiUpper(capital.front());
    found = labels.kinds.find(capital);
  }
  return found == labels.kinds.end() ? latin1ToUtf8(code) : found->second;
}

Status readFieldLabels(std::istream& in, FieldLabels& labels) {
  LineReader lines(in, kLongestLabelLine);
  FirstLines firstLines;
  std::string line;
  for (std::size_t number = 1;; ++number) {
    const LineRead read = lines.next(line);
    if (read == LineRead::kEnd) break;
    if (read == LineRead::kTooLong) {
      return badLine(number, "più di " + std::to_string(kLongestLabelLine) + " byte");
    }
    std::string_view text = line;
    if (number == 1) text = withoutByteOrderMark(text);
    text = withoutBlanks(text);
    if (text.empty() || text.front() == kCommentMark) continue;
    const Status lineRead = readLabelLine(number, text, labels, firstLines);
    if (!lineRead.ok()) return lineRead;
  }
  if (lines.failed()) {
    return Status::described(Status::Code::kReadFailed,
                             std::string("Errore durante la lettura di ") + kLabelFileName);
  }
  return {};
}

Status labelsOfText(std::string_view text, FieldLabels& labels) {
  labels = FieldLabels();
  std::istringstream in{std::string(withoutByteOrderMark(text))};
  FieldLabels read;
  const Status status = readFieldLabels(in, read);
  if (status.ok()) labels = std::move(read);
  return status;
}

}  // namespace indicizza
