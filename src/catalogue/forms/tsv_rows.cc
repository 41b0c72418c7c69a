#include "catalogue/forms/tsv_rows.h"

#include <algorithm>
#include <cstdio>

#include "catalogue/text/terminal_text.h"

namespace indicizza {
namespace {

constexpr char kColumnSeparator = '\t';
// Bytes no value may hold: the column and line separators, and the zero byte
// that would end the record text.
constexpr std::string_view kForbiddenBytes("\t\n\r\0", 4);

std::string hexByte(char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X",
                static_cast<unsigned>(static_cast<unsigned char>(byte)));
  return text;
}

std::string rowPlace(std::size_t lineNumber) { return "riga " + std::to_string(lineNumber); }

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool isRecordNumberText(std::string_view value) {
  const std::size_t first = value.find_first_not_of(kFieldPadding);
  if (first == std::string_view::npos) return false;
  value = withoutPadding(value.substr(first));
  if (value.front() == '+' || value.front() == '-') value.remove_prefix(1);
  return !value.empty() && std::all_of(value.begin(), value.end(), isDecimalDigit);
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t tab = line.find(kColumnSeparator);
    parts.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return parts;
    line.remove_prefix(tab + 1);
  }
}

std::optional<std::vector<const LayoutField*>> parseHeader(std::string_view line,
                                                           std::vector<std::string>& errors) {
  std::vector<const LayoutField*> columns;
  bool good = true;
  const std::vector<std::string_view> names = splitTabs(line);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string place = "intestazione, colonna " + std::to_string(i + 1) + ": ";
    const LayoutField* field = findLayoutField(names[i]);
    if (!field) {
      errors.push_back(place + "campo sconosciuto '" + terminalText(names[i]) + "'");
      good = false;
    } else if (std::find(columns.begin(), columns.end(), field) != columns.end()) {
      errors.push_back(place + "campo ripetuto " + field->name);
      good = false;
    }
    columns.push_back(field);
  }
  if (!good) return std::nullopt;
  return columns;
}

std::string fullHeader() {
  std::string header;
  for (const LayoutField& field : layoutFields()) {
    if (!header.empty()) header += kColumnSeparator;
    header += field.name;
  }
  return header;
}

std::optional<PlainRecord> recordOfRow(std::string_view line, std::size_t lineNumber,
                                       const std::vector<const LayoutField*>& columns,
                                       RowDecoding& decoding, std::vector<std::string>& errors) {
  const std::vector<std::string_view> values = splitTabs(line);
  if (values.size() != columns.size()) {
    errors.push_back(rowPlace(lineNumber) + ": " + std::to_string(values.size()) +
                     (values.size() == 1 ? " valore" : " valori") + " invece di " +
                     std::to_string(columns.size()));
    return std::nullopt;
  }
  PlainRecord record;
  bool good = true;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const LayoutField& field = *columns[i];
    const std::string place = rowPlace(lineNumber) + ", campo " + field.name + ": ";
    std::string value(values[i]);
    if (decoding.encoding == TextEncoding::kUtf8) {
      Latin1Conversion converted = utf8ToLatin1(value, decoding.typographic, decoding.letters);
      if (!converted.ok()) {
        errors.push_back(place + converted.error);
        decoding.sawMalformedUtf8 = decoding.sawMalformedUtf8 || converted.malformed;
        decoding.sawTransliterable = decoding.sawTransliterable || converted.transliterable;
        good = false;
        continue;
      }
      decoding.replaced += converted.replaced;
      if (converted.transliterated != 0) {
        ++decoding.transliteratedValues;
        if (decoding.onTransliterated) {
          decoding.onTransliterated(place + "«" + terminalText(value) + "» scritto «" +
                                    terminalText(latin1ToUtf8(converted.latin1)) + "»");
        }
      }
      value = std::move(converted.latin1);
    }
    const std::size_t forbidden = value.find_first_of(kForbiddenBytes);
    if (forbidden != std::string::npos) {
      errors.push_back(place + "byte " + hexByte(value[forbidden]) + " non ammesso");
      good = false;
    } else if (value.size() > field.span.length) {
      errors.push_back(place + std::to_string(value.size()) + " byte, al massimo " +
                       std::to_string(field.span.length));
      good = false;
    } else if (field.name == kRecordNumberName && !isRecordNumberText(value)) {
      errors.push_back(place + "numero di record non valido '" + terminalTextOfLatin1(value) +
                       "' (cifre decimali, con un segno facoltativo)");
      good = false;
    } else {
      record.field(field.span, value);
    }
  }
  if (!good) return std::nullopt;
  return record;
}

std::size_t repeatedRecordNumbers(NumberedLines& lines,
                                  const std::function<void(std::string)>& report) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t repeated = 0;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t end = i + 1;
    while (end < lines.size() && lines[end].first == lines[i].first) ++end;
    if (end - i > 1) {
      ++repeated;
      if (report) {
        std::string list;
        for (std::size_t j = i; j < end; ++j)
          list += (j == i ? "" : ", ") + std::to_string(lines[j].second);
        report("numero di record " + std::to_string(lines[i].first) + " ripetuto: righe " + list);
      }
    }
    i = end;
  }
  return repeated;
}

std::optional<std::string> rowOfRecord(const DecodedRecord& record, std::string_view where,
                                       TextEncoding encoding, std::vector<std::string>& errors) {
  const std::string place(where);
  const auto bytes = record.bytes();
  if (const auto outside = firstByteOutsideFields(bytes)) {
    errors.push_back(place + ": byte " + hexByte(static_cast<char>(bytes[*outside])) +
                     " fuori dai campi (posizione " + std::to_string(*outside) + ")");
    return std::nullopt;
  }
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string line;
  for (const LayoutField& field : layoutFields()) {
    const std::string_view value = withoutPadding(all.substr(field.span.offset, field.span.length));
    const std::size_t forbidden = value.find_first_of(kForbiddenBytes);
    if (forbidden != std::string_view::npos) {
      errors.push_back(place + ", campo " + field.name + ": byte " + hexByte(value[forbidden]) +
                       " non rappresentabile");
      return std::nullopt;
    }
    if (&field != &layoutFields().front()) line += kColumnSeparator;
    line += encoding == TextEncoding::kUtf8 ? latin1ToUtf8(value) : std::string(value);
  }
  return line;
}

}  // namespace indicizza
