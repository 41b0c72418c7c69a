#include "search/result_formats.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "catalogue/layout_fields.h"
#include "catalogue/record_display.h"
#include "catalogue/terminal_text.h"

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

}  // namespace

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
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

std::string formattedRow(OutputFormat format, const ResultRow& row) {
  const auto columns = columnsOf(row);
  std::string line;
  switch (format) {
    case OutputFormat::kText: {
      char head[32];
      std::snprintf(head, sizeof head, "%6d  %-2s  ", row.number,
                    terminalText(columns[1]).c_str());
      line = head;
      for (std::size_t i = 2; i < kColumnCount; ++i) {
        if (i != 2) line += kTextSeparator;
        line += terminalText(columns[i]);
      }
      line.erase(line.find_last_not_of(' ') + 1);
      break;
    }
    case OutputFormat::kTsv:
    case OutputFormat::kCsv:
      for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (i != 0) line += format == OutputFormat::kTsv ? kTab : kComma;
        line += format == OutputFormat::kTsv ? escapedTsv(columns[i]) : quotedCsv(columns[i]);
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
  return line;
}

std::string partialLine(const SearchResult& result) {
  if (result.partialTotal == 0) return "";
  return "Risultati parziali: " + std::string(result.partialEstimated ? "circa " : "") +
         std::to_string(result.partialTotal) + " record con alcune delle parole";
}

namespace {

std::string jsonRows(const std::vector<DecodedRecord>& page, std::size_t first, std::size_t end) {
  std::string out = "[";
  for (std::size_t i = first; i < end; ++i) {
    if (i != first) out += ',';
    out += jsonObject(rowOf(page[i]));
  }
  return out + "]";
}

}  // namespace

std::string jsonPage(const SearchResult& result, const SearchOptions& options,
                     std::string_view ranQuery) {
  const std::size_t full = result.page.size() - std::min<std::size_t>(result.pagePartials, result.page.size());
  return "{\"totale\":" + std::to_string(result.total) +
         ",\"esatto\":" + (result.exact() ? "true" : "false") +
         ",\"da\":" + std::to_string(options.from) + ",\"ordina\":" +
         jsonString(sortOrderName(options.order)) + ",\"record\":" + jsonRows(result.page, 0, full) +
         ",\"parziali\":{\"totale\":" + std::to_string(result.partialTotal) +
         ",\"esatto\":" + (result.partialEstimated ? "false" : "true") +
         ",\"record\":" + jsonRows(result.page, full, result.page.size()) +
         "},\"ricerca\":" + jsonString(ranQuery) + "}";
}

}  // namespace indicizza
