// How the catalogue tools show records and terms on the terminal: catalogue
// bytes are Latin-1 and are written out as UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/forms/field_labels.h"
#include "input/decoded_record.h"

namespace indicizza {

// Latin-1 bytes of the catalogue (a term, a field) as UTF-8 text.
std::string displayText(std::string_view latin1);

// The kind code's bytes up to its first zero byte ("AR", "a", or "").
std::string kindCodeText(const KindCode& code);

// The record field by field as (NAME, VALUE) pairs, VALUE in UTF-8 with
// every byte kept (the web page escapes it for HTML): the
// layout fields in column order (text and code fields as the indexer reads
// them, every field without its padding), then "Numero" and "Tipo indice",
// the record number and kind code the indexer takes from it.
std::vector<std::pair<std::string, std::string>> namedFieldValues(const DecodedRecord& record);

// What stands for the title of a record that has none: "Record 260".
std::string untitledHeading(RecordNumber number);

// One field of a record card: its layout name, its label (fieldLabel) and
// its value, UTF-8 with every byte kept.
struct CardField {
  std::string name;
  std::string label;
  std::string value;
};

// A record as a reader reads it, as a catalogue card: the work's title
// (text field kTitleField) and composer (kComposerField), then the other
// fields under their labels, each once: the kind as the index has it
// ("Pianoforte (pF)" when labelled), the other text fields, the code
// fields, the number as the indexer reads it and the two flags. The fields
// with no value are apart, in the same order.
struct RecordCard {
  std::string title;     // "" when the record has none
  std::string composer;  // "" when the record has none
  std::vector<CardField> fields;
  std::vector<CardField> emptyFields;
};
RecordCard recordCard(const DecodedRecord& record, const FieldLabels& labels);

// The record field by field, one "NAME  VALUE" line each in layout column
// order (text and code fields as the indexer reads them, without padding),
// then the record number and kind code the indexer takes from it. For a
// terminal: control bytes are written as escapes (see terminal_text.h).
std::string fieldListing(const DecodedRecord& record);

}  // namespace indicizza
