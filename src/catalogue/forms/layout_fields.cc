#include "catalogue/forms/layout_fields.h"

#include <array>

namespace indicizza {

const std::vector<LayoutField>& layoutFields() {
  static const std::vector<LayoutField> fields = [] {
    std::vector<LayoutField> list = {
        {std::string(kRecordNumberName), kRecordNumberField, FieldKind::kBytes, 0},
        {"KindCode", kKindCodeField, FieldKind::kBytes, 0},
        {"FlagA", {kFlagAOffset, kFlagLength}, FieldKind::kBytes, 0},
        {"FlagB", {kFlagBOffset, kFlagLength}, FieldKind::kBytes, 0},
    };
    for (std::size_t i = 0; i < kTextFieldCount; ++i) {
      const int number = static_cast<int>(i + 1);
      list.push_back({"T" + std::to_string(number), kTextFields[i], FieldKind::kText, number});
    }
    for (std::size_t i = 0; i < kCodeFieldCount; ++i) {
      const int number = static_cast<int>(i + 1);
      list.push_back({"C" + std::to_string(number), kCodeFields[i], FieldKind::kCode, number});
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

}  // namespace indicizza
