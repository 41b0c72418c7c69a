// Builds catalogue records field by field, for tests and tools that need to
// write record files. The indexer itself never builds records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "input/scramble_key.h"

namespace indicizza {

// A plain (not scrambled) record of kRecordSize bytes. Every byte starts as a
// blank, so an unset field reads as blanks and the record text runs to the
// end. Setters write values left-aligned and blank-padded; a value longer
// than its field throws std::length_error.
class PlainRecord {
 public:
  PlainRecord();

  PlainRecord& textField(int number, std::string_view value);  // 1-7
  PlainRecord& codeField(int number, std::string_view value);  // 1-5
  PlainRecord& kindCode(std::string_view value);               // at most 2 bytes
  // Writes `number` as six characters, zero-padded: 42 -> "000042",
  // -42 -> "-00042". Throws std::out_of_range if it doesn't fit.
  PlainRecord& recordNumber(RecordNumber number);
  // Writes the six record-number bytes as given (blank-padded).
  PlainRecord& recordNumberText(std::string_view text);
  PlainRecord& flags(char flagA, char flagB);
  // Writes `value` into any field of the layout, left-aligned and
  // blank-padded; throws std::length_error when it is longer than the field.
  PlainRecord& field(const FieldSpan& span, std::string_view value) { return fill(span, value); }
  // Overwrites raw bytes from `offset`; throws std::out_of_range past the end.
  PlainRecord& bytesAt(std::size_t offset, std::string_view value);

  const std::array<std::uint8_t, kRecordSize>& bytes() const { return bytes_; }

  // The record as it is written to a record file.
  std::array<std::uint8_t, kRecordSize> scrambled(const ScrambleKey& key) const;

 private:
  PlainRecord& fill(const FieldSpan& field, std::string_view value);

  std::array<std::uint8_t, kRecordSize> bytes_;
};

// The content of a record file holding `records`, in order, scrambled.
std::string recordFileContent(const std::vector<PlainRecord>& records, const ScrambleKey& key);

}  // namespace indicizza
