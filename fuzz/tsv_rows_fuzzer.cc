// Fuzz target: cifra's reading of the tab-separated form, on arbitrary file
// content. The lines come from a LineReader; the first is the header
// (parseHeader, after a byte order mark), the others data lines
// (recordOfRow), as in `catalogo cifra`.
//
// The first byte of the input picks how it is read, the rest is the file:
// the line limit (small, so that long lines are met), Latin-1 or UTF-8,
// typographic characters replaced or not. Besides running under the
// sanitizers, it checks what the reading promises: the lines are the
// file's, each at most the limit or reported too long; an accepted record
// holds each value in its field, blanks elsewhere, and the record number
// the indexer reads from it is the one the line wrote; a refused line has
// errors naming it; no message holds a control byte (echoed input is
// escaped).
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/forms/tsv_rows.h"
#include "catalogue/text/line_reader.h"
#include "input/decoded_record.h"

namespace {

using namespace indicizza;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The limits picked by the first byte: 1 to 64 bytes.
constexpr std::size_t kLimitChoices = 64;
constexpr std::uint8_t kLatin1Bit = 0x40;
constexpr std::uint8_t kTypographicBit = 0x80;

void require(bool condition) {
  if (!condition) std::abort();
}

// No byte a terminal would act on: echoed input is escaped.
void checkMessages(const std::vector<std::string>& errors, std::string_view start) {
  for (const std::string& error : errors) {
    require(error.starts_with(start));
    require(std::none_of(error.begin(), error.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return byte < 0x20 || byte == 0x7F;
    }));
  }
}

// The value a line wrote for the record number, read as decimal digits.
RecordNumber writtenNumber(std::string_view value) {
  value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
  value = withoutPadding(value);
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  RecordNumber number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  require(error == std::errc() && end == value.data() + value.size());
  return number;
}

// An accepted record: every byte outside the columns' fields is a blank;
// a Latin-1 value is in its field as written; the number reads as written.
void checkRecord(const PlainRecord& record, std::string_view line,
                 const std::vector<const LayoutField*>& columns, TextEncoding encoding) {
  const auto bytes = record.bytes();
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::vector<std::string_view> values = splitTabs(line);
  require(values.size() == columns.size());
  std::vector<bool> inColumn(all.size(), false);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const FieldSpan& span = columns[i]->span;
    const std::string_view field = all.substr(span.offset, span.length);
    for (std::size_t j = 0; j < span.length; ++j) inColumn[span.offset + j] = true;
    if (encoding == TextEncoding::kLatin1) {
      require(values[i].size() <= span.length);
      require(field.substr(0, values[i].size()) == values[i]);
      require(withoutPadding(field.substr(values[i].size())).empty());
    }
    if (columns[i]->name == kRecordNumberName) {
      require(recordNumberOf(DecodedRecord::fromPlain(bytes)) == writtenNumber(field));
    }
  }
  for (std::size_t j = 0; j < all.size(); ++j) {
    if (!inColumn[j]) require(all[j] == kFieldPadding);
  }
}

// Reads `content` as cifra does, checking the lines against the content
// itself: each ends at a line feed or at the end, drops one carriage return
// before its line feed, and is too long past `longest` bytes.
void readFile(std::string_view content, std::size_t longest, RowDecoding& decoding) {
  std::istringstream in{std::string(content)};
  LineReader lines(in, longest);
  std::optional<std::vector<const LayoutField*>> columns;
  NumberedLines numbers;
  std::size_t at = 0;
  std::string line;
  for (std::size_t lineNumber = 1;; ++lineNumber) {
    const LineRead read = lines.next(line);
    if (at >= content.size()) {
      require(read == LineRead::kEnd);
      break;
    }
    const std::size_t end = std::min(content.find('\n', at), content.size());
    std::string_view expected = content.substr(at, end - at);
    at = end + 1;
    if (expected.size() > longest) {
      require(read == LineRead::kTooLong);
      if (lineNumber == 1) return;  // cifra stops at a header it can't read
      continue;
    }
    if (expected.ends_with('\r')) expected.remove_suffix(1);
    require(read == LineRead::kLine && line == expected);

    std::vector<std::string> errors;
    if (lineNumber == 1) {
      std::string_view header = line;
      if (header.starts_with(kByteOrderMark)) header.remove_prefix(kByteOrderMark.size());
      columns = parseHeader(header, errors);
      require(columns.has_value() == errors.empty());
      checkMessages(errors, "intestazione, colonna ");
      if (!columns) return;
      continue;
    }
    const auto record = recordOfRow(line, lineNumber, *columns, decoding, errors);
    require(record.has_value() == errors.empty());
    checkMessages(errors, "riga " + std::to_string(lineNumber));
    if (!record) continue;
    checkRecord(*record, line, *columns, decoding.encoding);
    numbers.emplace_back(recordNumberOf(DecodedRecord::fromPlain(record->bytes())), lineNumber);
  }
  const std::size_t good = numbers.size();
  std::size_t messages = 0;
  const std::size_t repeated =
      repeatedRecordNumbers(numbers, [&](const std::string&) { ++messages; });
  require(repeated == messages && 2 * repeated <= good);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t how = data[0];
  RowDecoding decoding;
  decoding.encoding = (how & kLatin1Bit) ? TextEncoding::kLatin1 : TextEncoding::kUtf8;
  decoding.typographic = (how & kTypographicBit) ? Typographic::kReplaced : Typographic::kRefused;
  const std::size_t longest = 1 + how % kLimitChoices;
  readFile(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), longest, decoding);
  return 0;
}
