#include "catalogue/forms/record_display.h"

#include <algorithm>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/text/latin1.h"
#include "catalogue/text/terminal_text.h"
#include "indexing/word_index.h"

namespace indicizza {
namespace {

constexpr std::size_t kNameWidth = 14;

// The bytes of `field` as the indexer reads them: text and code fields are
// cut where the record text ends; the other fields are taken whole.
std::string_view readingOf(const DecodedRecord& record, const LayoutField& field) {
  if (field.kind == FieldKind::kText) return textField(record, field.number);
  if (field.kind == FieldKind::kCode) return codeField(record, field.number);
  const auto bytes = record.bytes();
  if (field.span.offset >= bytes.size()) return {};
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
      .substr(field.span.offset, field.span.length);
}

// "NAME  VALUE": the name padded to kNameWidth; a bare name for an empty
// value.
std::string namedLine(std::string_view name, std::string_view value) {
  if (value.empty()) return std::string(name) + "\n";
  std::string line(name);
  line.resize(std::max(line.size() + 1, kNameWidth), ' ');
  return line + std::string(value) + "\n";
}

}  // namespace

std::string displayText(std::string_view latin1) { return latin1ToUtf8(latin1); }

std::string kindCodeText(const KindCode& code) {
  std::string text;
  for (std::uint8_t byte : code.bytes) {
    if (byte == 0) break;
    text += static_cast<char>(byte);
  }
  return displayText(text);
}

std::vector<std::pair<std::string, std::string>> namedFieldValues(const DecodedRecord& record) {
  std::vector<std::pair<std::string, std::string>> values;
  for (const LayoutField& field : layoutFields()) {
    values.emplace_back(field.name, displayText(withoutPadding(readingOf(record, field))));
  }
  const IndexEntry entry = makeIndexEntry(record);
  values.emplace_back("Numero", std::to_string(entry.recordNumber));
  values.emplace_back("Tipo indice", kindCodeText(entry.kindCode));
  return values;
}

std::string untitledHeading(RecordNumber number) { return "Record " + std::to_string(number); }

RecordCard recordCard(const DecodedRecord& record, const FieldLabels& labels) {
  RecordCard card;
  const auto place = [&](std::string name, std::string value) {
    CardField field{name, fieldLabel(labels, name), std::move(value)};
    (field.value.empty() ? card.emptyFields : card.fields).push_back(std::move(field));
  };
  const IndexEntry entry = makeIndexEntry(record);
  const std::string kind = kindCodeText(entry.kindCode);
  const std::string kindName = kindLabel(labels, kind);
  place("KindCode", kindName == kind ? kind : kindName + " (" + kind + ")");
  for (const LayoutField& field : layoutFields()) {
    if (field.kind == FieldKind::kBytes) continue;
    std::string value = displayText(withoutPadding(readingOf(record, field)));
    if (field.kind == FieldKind::kText && field.number == kTitleField) {
      card.title = std::move(value);
    } else if (field.kind == FieldKind::kText && field.number == kComposerField) {
      card.composer = std::move(value);
    } else {
      place(field.name, std::move(value));
    }
  }
  place(std::string(kRecordNumberName), std::to_string(entry.recordNumber));
  for (const LayoutField& field : layoutFields()) {
    if (field.span.offset == kFlagAOffset || field.span.offset == kFlagBOffset) {
      place(field.name, displayText(withoutPadding(readingOf(record, field))));
    }
  }
  return card;
}

std::string fieldListing(const DecodedRecord& record) {
  std::string listing;
  for (const auto& [name, value] : namedFieldValues(record)) {
    listing += namedLine(name, terminalText(value));
  }
  return listing;
}

}  // namespace indicizza
