// Record numbers as people write them: on a command line, in a page's
// address.
#pragma once

#include <optional>
#include <string_view>

#include "input/decoded_record.h"

namespace indicizza {

// The record number `text` writes, whole: decimal digits with an optional
// sign ('+' or '-'), within the range of RecordNumber; nothing otherwise
// (empty text, any other byte, a number out of range).
std::optional<RecordNumber> recordNumberFromText(std::string_view text);

}  // namespace indicizza
