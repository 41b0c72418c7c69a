#include "catalogo/layout_fields.h"

#include <array>

namespace indicizza::catalogo {

const std::vector<LayoutField>& layoutFields() {
  static const std::vector<LayoutField> fields = [] {
    std::vector<LayoutField> list = {
        {"RecordNumber", kRecordNumberField},
        {"KindCode", kKindCodeField},
        {"FlagA", {kFlagAOffset, kFlagLength}},
        {"FlagB", {kFlagBOffset, kFlagLength}},
    };
    for (std::size_t i = 0; i < kTextFieldCount; ++i) {
      list.push_back({"T" + std::to_string(i + 1), kTextFields[i]});
    }
    for (std::size_t i = 0; i < kCodeFieldCount; ++i) {
      list.push_back({"C" + std::to_string(i + 1), kCodeFields[i]});
    }
    return list;
  }();
  return fields;
}

const LayoutField* findLayoutField(std::string_view name) {
  for (const LayoutField& field : layoutFields()) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

std::optional<std::size_t> firstByteOutsideFields(std::span<const std::uint8_t> record) {
  static const std::array<bool, kRecordSize> inField = [] {
    std::array<bool, kRecordSize> marks{};
    for (const LayoutField& field : layoutFields()) {
      for (std::size_t i = 0; i < field.span.length; ++i) marks[field.span.offset + i] = true;
    }
    return marks;
  }();
  for (std::size_t i = 0; i < record.size() && i < kRecordSize; ++i) {
    if (!inField[i] && record[i] != static_cast<std::uint8_t>(kFieldPadding)) return i;
  }
  return std::nullopt;
}

std::string_view withoutPadding(std::string_view value) {
  const std::size_t last = value.find_last_not_of(kFieldPadding);
  return value.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

}  // namespace indicizza::catalogo
