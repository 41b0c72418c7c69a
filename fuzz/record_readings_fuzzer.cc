// Fuzz target: the readings of one record and its terms, on arbitrary bytes.
//
// The input is one item as the load or the scan phase would hand it over (525
// or 524 bytes, or an item of any other size that another program stored).
// It is read both as scrambled bytes (what the phases do) and as plain bytes
// (so that a corpus of plain records means the same under every build key).
// Besides running under the sanitizers, it checks what the readings promise:
// fields are views into the record's text no longer than their field, the
// record number fits its six characters (and reads the same from the
// scrambled bytes alone), and the terms keep their rules.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "indexing/byte_classes.h"
#include "indexing/terms.h"
#include "input/decoded_record.h"
#include "input/record_layout.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"

namespace {

using namespace indicizza;

// The largest and smallest numbers six characters of text can carry.
constexpr RecordNumber kLargestNumber = 999999;
constexpr RecordNumber kSmallestNumber = -99999;

void require(bool condition) {
  if (!condition) std::abort();
}

// `field` lies inside the record's text and is no longer than `span`.
void checkField(const DecodedRecord& record, std::string_view field, const FieldSpan& span) {
  const std::string_view text = record.text();
  require(field.size() <= span.length);
  if (field.empty()) return;
  require(field.data() == text.data() + span.offset);
  require(span.offset + field.size() <= text.size());
}

void checkRecord(const DecodedRecord& record, const StopWordSet& stopWords) {
  require(record.bytes().size() <= kRecordSize);
  require(record.text().size() <= record.bytes().size());

  const RecordNumber number = recordNumberOf(record);
  require(number >= kSmallestNumber && number <= kLargestNumber);
  const KindCode kind = kindCodeOf(record);
  if (kind.bytes[0] == 0) require(kind.bytes[1] == 0);

  for (std::size_t i = 0; i < kTextFieldCount; ++i) {
    checkField(record, textField(record, static_cast<int>(i + 1)), kTextFields[i]);
  }
  for (std::size_t i = 0; i < kCodeFieldCount; ++i) {
    checkField(record, codeField(record, static_cast<int>(i + 1)), kCodeFields[i]);
  }

  TermList terms;
  extractTerms(record, stopWords, terms);
  bool inCodes = false;
  for (std::size_t i = 0; i < terms.size(); ++i) {
    const std::string_view term = terms[i];
    require(!term.empty());
    // Words come first and never hold a digit; codes always hold one.
    if (holdsDigit(term)) inCodes = true;
    require(holdsDigit(term) == inCodes);
    if (inCodes) continue;
    require(std::none_of(term.begin(), term.end(), isSeparator));
    require(std::none_of(term.begin(), term.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
    require(!stopWords.contains(term));
    for (std::size_t j = 0; j < i; ++j) require(terms[j] != term);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScrambleKey key = buildScrambleKey();
  static const StopWordSet stopWords = parseStopWords("IL\nLA\nDI\nE\nPERCH\xC9\n");
  const std::span<const std::uint8_t> item(data, size);
  const DecodedRecord record = DecodedRecord::fromScrambled(item, key);
  checkRecord(record, stopWords);
  checkRecord(DecodedRecord::fromPlain(item), stopWords);
  // The load reads a whole record's number without descrambling the rest.
  if (size >= kRecordSize) {
    require(scrambledRecordNumberOf(item.first<kRecordSize>(), key) == recordNumberOf(record));
  }
  return 0;
}
