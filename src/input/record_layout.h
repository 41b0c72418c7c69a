// Byte layout of one catalogue record (offsets are 0-based positions in the
// descrambled record). Fields are fixed-width; nothing marks where a value
// ends inside its field.
#pragma once

#include <array>
#include <cstddef>

namespace indicizza {

// A record in the record file; the last byte is read but never stored.
inline constexpr std::size_t kRecordSize = 525;
// The part of a record kept in the data database.
inline constexpr std::size_t kStoredRecordSize = 524;

// A fixed-width field: `length` bytes from `offset`.
struct FieldSpan {
  std::size_t offset;
  std::size_t length;
};

// Text fields 1-7: the words of the record.
inline constexpr std::size_t kTextFieldCount = 7;
inline constexpr std::array<FieldSpan, kTextFieldCount> kTextFields = {{
    {0, 30},
    {30, 30},
    {60, 30},
    {90, 77},
    {398, 30},
    {428, 43},
    {471, 43},
}};

// Code fields 1-5: catalogue codes of the record.
inline constexpr std::size_t kCodeFieldCount = 5;
inline constexpr std::array<FieldSpan, kCodeFieldCount> kCodeFields = {{
    {201, 13},
    {214, 13},
    {227, 13},
    {240, 13},
    {253, 13},
}};

// Two flag bytes that together decide the case of the kind code's first byte.
inline constexpr std::size_t kFlagAOffset = 183;
inline constexpr std::size_t kFlagBOffset = 297;

// The record's two-byte kind code.
inline constexpr FieldSpan kKindCodeField = {266, 2};

// The record number, written as text (atoi rules) in six bytes.
inline constexpr FieldSpan kRecordNumberField = {278, 6};

}  // namespace indicizza
