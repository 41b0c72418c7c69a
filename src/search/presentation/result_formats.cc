#include "search/presentation/result_formats.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/forms/record_display.h"
#include "catalogue/text/terminal_text.h"
#include "catalogue/text/valid_utf8.h"

namespace indicizza {
namespace {

constexpr std::string_view kTextSeparator = " | ";
constexpr char kTab = '\t';
constexpr char kComma = ',';
constexpr char kCsvQuote = '"';

std::string escapedTsv(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string quotedCsv(std::string_view utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
  std::string out(1, kCsvQuote);
  for (char c : utf8) {
    if (c == kCsvQuote) out += kCsvQuote;
    out += c;
  }
  return out + kCsvQuote;
}

// The bytes a spreadsheet reads as the start of a formula, at a value's
// start, and what goes before them so that it shows the value as text.
constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr char kFormulaGuard = '\'';

std::string csvValue(std::string_view utf8, CsvValues csv) {
  if (csv == CsvValues::kGuarded && !utf8.empty() &&
      kFormulaStarts.find(utf8.front()) != std::string_view::npos) {
    return quotedCsv(kFormulaGuard + std::string(utf8));
  }
  return quotedCsv(utf8);
}

}  // namespace

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : validUtf8(utf8)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

namespace {

// The row's columns as UTF-8 text, in column order.
std::array<std::string, kColumnCount> columnsOf(const ResultRow& row) {
  std::array<std::string, kColumnCount> columns;
  columns[0] = std::to_string(row.number);
  columns[1] = displayText(row.kindCode);
  for (std::size_t i = 0; i < row.fields.size(); ++i) columns[i + 2] = displayText(row.fields[i]);
  return columns;
}

std::string jsonObject(const ResultRow& row) {
  const auto columns = columnsOf(row);
  std::string out = "{";
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    if (i != 0) out += ',';
    out += jsonString(columnNames()[i]) + ':' + (i == 0 ? columns[i] : jsonString(columns[i]));
  }
  return out + "}";
}

}  // namespace

std::optional<OutputFormat> outputFormatNamed(std::string_view name) {
  if (name == "testo") return OutputFormat::kText;
  if (name == "tsv") return OutputFormat::kTsv;
  if (name == "csv") return OutputFormat::kCsv;
  if (name == "json") return OutputFormat::kJson;
  return std::nullopt;
}

const std::array<std::string_view, kColumnCount>& columnNames() {
  static constexpr std::array<std::string_view, kColumnCount> names = {
      "numero", "tipo", "T1", "T2", "T3", "T4", "T5", "T6", "T7", "C1", "C2", "C3", "C4", "C5"};
  return names;
}

ResultRow rowOf(const DecodedRecord& record) {
  ResultRow row{recordNumberOf(record), "", {}};
  for (std::uint8_t byte : kindCodeOf(record).bytes) {
    if (byte == 0) break;
    row.kindCode += static_cast<char>(byte);
  }
  for (std::size_t i = 0; i < kTextFieldCount; ++i) {
    row.fields[i] = withoutPadding(textField(record, static_cast<int>(i + 1)));
  }
  for (std::size_t i = 0; i < kCodeFieldCount; ++i) {
    row.fields[kTextFieldCount + i] = withoutPadding(codeField(record, static_cast<int>(i + 1)));
  }
  return row;
}

std::string headerLine(OutputFormat format) {
  if (format != OutputFormat::kTsv && format != OutputFormat::kCsv) return "";
  std::string line;
  for (std::string_view name : columnNames()) {
    if (!line.empty()) line += format == OutputFormat::kTsv ? kTab : kComma;
    line += name;
  }
  return line + "\n";
}

namespace {

// The testo line of `row` without its line end, each field (0 for T1 ...
// the last for C5) as `field` writes it for a terminal.
std::string textLine(const ResultRow& row, const std::function<std::string(std::size_t)>& field) {
  char head[32];
  std::snprintf(head, sizeof head, "%6d  %-2s  ", row.number,
                terminalText(displayText(row.kindCode)).c_str());
  std::string line = head;
  for (std::size_t i = 0; i < row.fields.size(); ++i) {
    if (i != 0) line += kTextSeparator;
    line += field(i);
  }
  line.erase(line.find_last_not_of(' ') + 1);
  return line;
}

}  // namespace

std::string exportHeaderLine(OutputFormat format) {
  std::string line;
  for (const LayoutField& field : layoutFields()) {
    if (!line.empty()) line += format == OutputFormat::kCsv ? kComma : kTab;
    line += field.name;
  }
  return line + "\n";
}

std::string exportRow(OutputFormat format, const DecodedRecord& record) {
  const auto bytes = record.bytes();
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string line;
  for (const LayoutField& field : layoutFields()) {
    if (&field != &layoutFields().front()) line += format == OutputFormat::kCsv ? kComma : kTab;
    const std::string_view stored =
        field.span.offset < all.size() ? all.substr(field.span.offset, field.span.length) : "";
    std::string value = displayText(withoutPadding(stored));
    if (format == OutputFormat::kCsv) {
      line += csvValue(value, CsvValues::kGuarded);
    } else {
      std::replace_if(
          value.begin(), value.end(),
          [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\0'; }, ' ');
      line += value;
    }
  }
  return line + "\n";
}

std::string highlightedTextRow(const ResultRow& row, const RecordHighlights& marks) {
  return textLine(row,
                  [&](std::size_t i) {
                    return terminalHighlighted(row.fields[i], spansOfField(marks, i));
                  }) +
         "\n";
}

std::string formattedRow(OutputFormat format, const ResultRow& row, CsvValues csv) {
  const auto columns = columnsOf(row);
  std::string line;
  switch (format) {
    case OutputFormat::kText:
      line = textLine(row, [&](std::size_t field) { return terminalText(columns[field + 2]); });
      break;
    case OutputFormat::kTsv:
    case OutputFormat::kCsv:
      for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (i != 0) line += format == OutputFormat::kTsv ? kTab : kComma;
        if (format == OutputFormat::kTsv) {
          line += escapedTsv(columns[i]);
        } else {
          line += i == 0 ? quotedCsv(columns[i]) : csvValue(columns[i], csv);
        }
      }
      break;
    case OutputFormat::kJson: line = jsonObject(row); break;
  }
  return line + "\n";
}

namespace {

std::string recordCount(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " record trovato" : " record trovati");
}

// How many partial results there are, "circa " before an estimate.
std::string partialCount(const SearchResult& result) {
  return (result.partialEstimated ? "circa " : "") + std::to_string(result.partialTotal);
}

}  // namespace

std::string countLine(const SearchResult& result, std::uint64_t from) {
  if (result.total == 0) {
    return result.partialTotal == 0 ? "Nessun record trovato" : "Nessun record con tutte le parole";
  }
  std::string line = (result.estimated ? "circa " : "") + recordCount(result.total);
  // Some results are not on the page: say which are.
  const std::uint64_t shown = result.pageSize - result.pagePartials;
  if (from > 1 || result.total > shown) {
    if (shown == 0) {
      line += ", nessuno dal " + std::to_string(from) + "°";
    } else {
      const std::uint64_t last = from + shown - 1;
      line += last == from ? ", mostrato il " + std::to_string(last) + "°"
                           : ", mostrati " + std::to_string(from) + "-" + std::to_string(last);
    }
  }
  // Partial results on the page: the line counts them too, or it would be
  // read as the count of every record shown.
  if (result.pagePartials != 0) line += ", e " + partialCount(result) + " con alcune delle parole";
  return line;
}

std::string partialLine(const SearchResult& result) {
  if (result.partialTotal == 0) return "";
  return "Risultati parziali: " + partialCount(result) + " record con alcune delle parole";
}

namespace {

// The row object of `record`, with the terms `root` matched in it when set.
std::string jsonRecord(const DecodedRecord& record, const QueryNode* root, Matching matching) {
  std::string object = jsonObject(rowOf(record));
  if (root == nullptr) return object;
  object.pop_back();
  object += ",\"termini\":[";
  const RecordHighlights marks = highlightsOf(*root, record, matching);
  for (std::size_t i = 0; i < marks.terms.size(); ++i) {
    if (i != 0) object += ',';
    object += jsonString(displayText(marks.terms[i]));
  }
  return object + "]}";
}

std::string jsonRows(const std::vector<DecodedRecord>& page, std::size_t first, std::size_t end,
                     const QueryNode* root, Matching matching) {
  std::string out = "[";
  for (std::size_t i = first; i < end; ++i) {
    if (i != first) out += ',';
    out += jsonRecord(page[i], root, matching);
  }
  return out + "]";
}

std::string jsonFacetValues(const Facet& facet, std::string_view query) {
  std::string out = "[";
  for (const FacetValue& value : facet.values) {
    if (out.size() > 1) out += ',';
    out +=
        "{\"valore\":" + jsonString(value.text) + ",\"conteggio\":" + std::to_string(value.count);
    if (!value.narrowing.empty())
      out += ",\"restringe\":" + jsonString(narrowedQuery(query, value));
    out += '}';
  }
  return out + "]";
}

std::string jsonFacets(const FacetCounts& counts, std::string_view query) {
  return "{\"contati\":" + std::to_string(counts.counted) +
         ",\"risultati\":" + std::to_string(counts.results) +
         ",\"esatte\":" + (counts.exact() ? "true" : "false") +
         ",\"tipo\":" + jsonFacetValues(counts.facet(FacetField::kKindCode), query) +
         ",\"T1\":" + jsonFacetValues(counts.facet(FacetField::kComposer), query) +
         ",\"T3\":" + jsonFacetValues(counts.facet(FacetField::kPeriod), query) + "}";
}

// `texts` as a JSON array of strings.
std::string jsonStrings(const std::vector<std::string>& texts) {
  std::string array = "[";
  for (const std::string& text : texts) array += (array.size() > 1 ? "," : "") + jsonString(text);
  return array + "]";
}

}  // namespace

std::string jsonPage(const SearchResult& result, const SearchOptions& options,
                     const JsonPageExtras& extras) {
  const std::size_t full =
      result.page.size() - std::min<std::size_t>(result.pagePartials, result.page.size());
  const QueryNode* root = extras.ranRoot;
  return "{\"totale\":" + std::to_string(result.total) +
         ",\"esatto\":" + (result.exact() ? "true" : "false") +
         ",\"da\":" + std::to_string(options.from) +
         ",\"ordina\":" + jsonString(sortOrderName(options.order)) +
         ",\"record\":" + jsonRows(result.page, 0, full, root, options.matching) +
         ",\"parziali\":{\"totale\":" + std::to_string(result.partialTotal) +
         ",\"esatto\":" + (result.partialEstimated ? "false" : "true") +
         ",\"record\":" + jsonRows(result.page, full, result.page.size(), root, options.matching) +
         "},\"ricerca\":" + jsonString(extras.ranQuery) + ",\"note\":" + jsonStrings(extras.notes) +
         (extras.facets ? ",\"faccette\":" + jsonFacets(*extras.facets, extras.ranQuery) : "") +
         "}";
}

}  // namespace indicizza
