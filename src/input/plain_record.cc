#include "input/plain_record.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace indicizza {

PlainRecord::PlainRecord() { bytes_.fill(' '); }

PlainRecord& PlainRecord::fill(const FieldSpan& field, std::string_view value) {
  if (value.size() > field.length) {
    throw std::length_error("value longer than its field: " + std::string(value));
  }
  std::memset(bytes_.data() + field.offset, ' ', field.length);
  std::memcpy(bytes_.data() + field.offset, value.data(), value.size());
  return *this;
}

PlainRecord& PlainRecord::textField(int number, std::string_view value) {
  return fill(kTextFields.at(static_cast<std::size_t>(number - 1)), value);
}

PlainRecord& PlainRecord::codeField(int number, std::string_view value) {
  return fill(kCodeFields.at(static_cast<std::size_t>(number - 1)), value);
}

PlainRecord& PlainRecord::kindCode(std::string_view value) { return fill(kKindCodeField, value); }

PlainRecord& PlainRecord::recordNumber(RecordNumber number) {
  if (number > 999999 || number < -99999) {
    throw std::out_of_range("record number does not fit six characters");
  }
  char text[16];
  std::snprintf(text, sizeof text, "%06d", number);
  return fill(kRecordNumberField, text);
}

PlainRecord& PlainRecord::recordNumberText(std::string_view text) {
  return fill(kRecordNumberField, text);
}

PlainRecord& PlainRecord::flags(char flagA, char flagB) {
  bytes_[kFlagAOffset] = static_cast<std::uint8_t>(flagA);
  bytes_[kFlagBOffset] = static_cast<std::uint8_t>(flagB);
  return *this;
}

PlainRecord& PlainRecord::bytesAt(std::size_t offset, std::string_view value) {
  if (offset > bytes_.size() || value.size() > bytes_.size() - offset) {
    throw std::out_of_range("bytes beyond the end of the record");
  }
  std::memcpy(bytes_.data() + offset, value.data(), value.size());
  return *this;
}

std::array<std::uint8_t, kRecordSize> PlainRecord::scrambled(const ScrambleKey& key) const {
  std::array<std::uint8_t, kRecordSize> out = bytes_;
  descramble(out, key);
  return out;
}

std::string recordFileContent(const std::vector<PlainRecord>& records, const ScrambleKey& key) {
  std::string content;
  content.reserve(records.size() * kRecordSize);
  for (const PlainRecord& record : records) {
    const auto bytes = record.scrambled(key);
    content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  return content;
}

}  // namespace indicizza
