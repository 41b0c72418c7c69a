#include "input/decoded_record.h"

#include <algorithm>
#include <cstring>

namespace indicizza {
namespace {

// The byte at `offset`, or zero where the record has no such byte.
std::uint8_t byteAt(const DecodedRecord& record, std::size_t offset) {
  const auto bytes = record.bytes();
  return offset < bytes.size() ? bytes[offset] : 0;
}

bool isCSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

std::uint8_t asciiLower(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c - 'A' + 'a') : c;
}

std::string_view cutFromText(const DecodedRecord& record, const FieldSpan& field) {
  const std::string_view text = record.text();
  if (field.offset >= text.size()) return {};
  return text.substr(field.offset, field.length);
}

}  // namespace

DecodedRecord DecodedRecord::fromPlain(std::span<const std::uint8_t> plain) {
  DecodedRecord record;
  record.size_ = std::min(plain.size(), kRecordSize);
  std::memcpy(record.bytes_.data(), plain.data(), record.size_);
  record.measureText();
  return record;
}

DecodedRecord DecodedRecord::fromScrambled(std::span<const std::uint8_t> scrambled,
                                           const ScrambleKey& key) {
  DecodedRecord record;
  record.size_ = std::min(scrambled.size(), kRecordSize);
  std::memcpy(record.bytes_.data(), scrambled.data(), record.size_);
  descramble({record.bytes_.data(), record.size_}, key);
  record.measureText();
  return record;
}

void DecodedRecord::measureText() {
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(bytes_.data(), 0, size_));
  textLength_ = zero ? static_cast<std::size_t>(zero - bytes_.data()) : size_;
}

namespace {

// Reads the number field's bytes as atoi reads text (see recordNumberOf).
RecordNumber parseRecordNumber(const RecordNumberBytes& field) {
  std::size_t i = 0;
  // A zero byte (also one past the record's end) ends the number's text.
  while (i < field.size() && isCSpace(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  // Six bytes hold at most six digits, so the value always fits.
  RecordNumber value = 0;
  for (; i < field.size() && isDigit(field[i]); ++i) value = value * 10 + (field[i] - '0');
  return negative ? -value : value;
}

}  // namespace

RecordNumber recordNumberOf(const DecodedRecord& record) {
  RecordNumberBytes field;
  for (std::size_t i = 0; i < field.size(); ++i)
    field[i] = byteAt(record, kRecordNumberField.offset + i);
  return parseRecordNumber(field);
}

RecordNumber scrambledRecordNumberOf(std::span<const std::uint8_t, kRecordSize> scrambled,
                                     const ScrambleKey& key) {
  RecordNumberBytes field;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const std::size_t offset = kRecordNumberField.offset + i;
    field[i] = scrambled[offset] ^ key.bytes[offset % kScrambleKeyLength];
  }
  return parseRecordNumber(field);
}

KindCode kindCodeOf(const DecodedRecord& record) {
  KindCode code{};
  code.bytes[0] = byteAt(record, kKindCodeField.offset);
  if (code.bytes[0] != 0) code.bytes[1] = byteAt(record, kKindCodeField.offset + 1);

  const std::uint8_t flagA = byteAt(record, kFlagAOffset);
  const std::uint8_t flagB = byteAt(record, kFlagBOffset);
  if ((flagA == '1' && flagB == '2') || (flagA == '2' && flagB == '1')) {
    code.bytes[0] = asciiLower(code.bytes[0]);
  }
  return code;
}

std::string_view textField(const DecodedRecord& record, int number) {
  return cutFromText(record, kTextFields.at(static_cast<std::size_t>(number - 1)));
}

std::string_view codeField(const DecodedRecord& record, int number) {
  return cutFromText(record, kCodeFields.at(static_cast<std::size_t>(number - 1)));
}

}  // namespace indicizza
