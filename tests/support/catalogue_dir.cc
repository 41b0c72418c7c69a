#include "support/catalogue_dir.h"

namespace indicizza::testing {

void CatalogueDir::records(const std::vector<PlainRecord>& records) {
  writeFile(*this / "opere.cry", recordFileContent(records, buildScrambleKey()));
}

void CatalogueDir::prepare(const std::vector<PlainRecord>& records, const std::string& stopWords) {
  this->stopWords(stopWords);
  this->records(records);
  dataDatabase();
}

std::vector<PlainRecord> numberedRecords(int first, int count) {
  std::vector<PlainRecord> records;
  for (int number = first; number < first + count; ++number) {
    records.push_back(PlainRecord().recordNumber(number));
  }
  return records;
}

StoredItem storedItemOf(const PlainRecord& record) {
  const auto scrambled = record.scrambled(buildScrambleKey());
  return {recordKey(recordNumberOf(DecodedRecord::fromPlain(record.bytes()))),
          std::string(reinterpret_cast<const char*>(scrambled.data()), kStoredRecordSize)};
}

}  // namespace indicizza::testing
