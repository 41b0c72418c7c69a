// The named fields of a record, as the catalogue tools show and exchange
// them: the record number, the kind code, the two flags, text fields T1-T7
// and code fields C1-C5, all taken from the record layout.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/record_layout.h"

namespace indicizza {

// The byte that pads every field after its value.
inline constexpr char kFieldPadding = ' ';

// The name of the record number's field, which every record needs.
inline constexpr std::string_view kRecordNumberName = "RecordNumber";

// The text fields a reader knows a work by: who wrote it and what it is
// called.
inline constexpr int kComposerField = 1;
inline constexpr int kTitleField = 4;

// Each flag is one byte.
inline constexpr std::size_t kFlagLength = 1;

// What a field is to the indexer: a text field and a code field are read as
// text (cut where the record text ends); the others are read as bytes.
enum class FieldKind { kText, kCode, kBytes };

struct LayoutField {
  std::string name;  // RecordNumber, KindCode, FlagA, FlagB, T1..T7, C1..C5
  FieldSpan span;
  FieldKind kind;
  int number;  // 1-7 for a text field, 1-5 for a code field, 0 otherwise
};

// Every named field, in column order: RecordNumber, KindCode, FlagA, FlagB,
// T1..T7, C1..C5. Built once; lives to the end of the program.
const std::vector<LayoutField>& layoutFields();

// The field called `name` (exact, case-sensitive), or nullptr.
const LayoutField* findLayoutField(std::string_view name);

// The offset of the first byte of `record` (a whole record) that lies in no
// named field and is not a blank; nothing when every such byte is a blank.
std::optional<std::size_t> firstByteOutsideFields(std::span<const std::uint8_t> record);

// `value` without its trailing blanks (the padding of a fixed-width field).
std::string_view withoutPadding(std::string_view value);

}  // namespace indicizza
