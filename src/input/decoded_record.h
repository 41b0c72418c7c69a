// One descrambled record and the readings taken from it.
//
// Byte readings (record number, kind code, flags) take the bytes at their
// offsets whatever comes before them. Text readings (text and code fields)
// are cut from the record text: the record's bytes up to its first zero byte.
// No reading ever looks past the record's own bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "input/record_layout.h"
#include "input/scramble_key.h"

namespace indicizza {

// The number a record carries; the key of the data database.
using RecordNumber = std::int32_t;

// The six bytes of the record number field.
using RecordNumberBytes = std::array<std::uint8_t, kRecordNumberField.length>;

// Two bytes that classify a record's kind; byte 1 is zero when byte 0 is
// followed by a zero byte, both are zero when the first one is.
struct KindCode {
  std::array<std::uint8_t, 2> bytes;
  friend bool operator==(const KindCode&, const KindCode&) = default;
};

// The descrambled bytes of one record and their count: 525 while loading,
// 524 when read back from the data database. Owns a copy of its bytes.
class DecodedRecord {
 public:
  // Copies `scrambled` (at most kRecordSize bytes; the rest is ignored) and
  // descrambles the copy with `key`.
  static DecodedRecord fromScrambled(std::span<const std::uint8_t> scrambled,
                                     const ScrambleKey& key);

  // Copies bytes that are already plain (at most kRecordSize of them).
  static DecodedRecord fromPlain(std::span<const std::uint8_t> plain);

  std::span<const std::uint8_t> bytes() const { return {bytes_.data(), size_}; }

  // The record text: the bytes before the first zero byte, or all of them.
  std::string_view text() const {
    return {reinterpret_cast<const char*>(bytes_.data()), textLength_};
  }

 private:
  DecodedRecord() = default;
  void measureText();

  // Only the first size_ bytes are ever set or read.
  std::array<std::uint8_t, kRecordSize> bytes_;
  std::size_t size_ = 0;
  std::size_t textLength_ = 0;
};

// The record number written in the six bytes at offset 278, read as atoi
// reads text: a zero byte ends the text; leading C white space is skipped;
// one optional sign; then decimal digits up to the first non-digit. No
// digits give 0.
RecordNumber recordNumberOf(const DecodedRecord& record);

// The record number of a whole scrambled record, the same as
// recordNumberOf(DecodedRecord::fromScrambled(scrambled, key)) but
// descrambling only the number's six bytes.
RecordNumber scrambledRecordNumberOf(std::span<const std::uint8_t, kRecordSize> scrambled,
                                     const ScrambleKey& key);

// The kind code at offset 266: copied up to a zero byte (the rest filled with
// zeros); its byte 0 is made lower case (ASCII letters only) when flag A is
// '1' and flag B is '2', or flag A is '2' and flag B is '1'.
KindCode kindCodeOf(const DecodedRecord& record);

// Text field `number` (1-7) or code field `number` (1-5): the field's bytes,
// cut short where the record text ends. A field that starts at or beyond the
// end of the text is empty. The view points into `record`.
std::string_view textField(const DecodedRecord& record, int number);
std::string_view codeField(const DecodedRecord& record, int number);

}  // namespace indicizza
