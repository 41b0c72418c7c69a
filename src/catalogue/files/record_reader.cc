#include "catalogue/files/record_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <vector>

#include "base/item_walk.h"
#include "catalogue/files/read_only_database.h"
#include "input/record_file.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace indicizza {
namespace {

class RecordFileReading : public RecordReader {
 public:
  Status open() {
    if (!tryOpenRecordFile(kRecordFileName, file_).ok())
      return Status::described(Status::Code::kCannotOpen, kRecordFileOpenFailed);
    return {};
  }

  Status next(RecordStep& step) override {
    step = RecordStep();
    if (ended_) return {};
    ReadOutcome outcome;
    if (!readRecord(file_, buffer_, outcome).ok()) {
      ended_ = true;
      return Status::described(Status::Code::kReadFailed, kRecordFileReadFailed);
    }
    if (outcome == ReadOutcome::kEnd) {
      ended_ = true;
      return {};
    }
    step.place = "record " + std::to_string(++position_);
    if (outcome == ReadOutcome::kShortRecord) {
      ended_ = true;
      step.kind = RecordStep::Kind::kRefused;
      step.problem = step.place + ": incompleto (" +
                     std::to_string(std::ftell(file_.stream()) % kRecordSize) + " byte)";
      return {};
    }
    step.kind = RecordStep::Kind::kRecord;
    step.record = DecodedRecord::fromScrambled(buffer_, key_);
    return {};
  }

  std::size_t itemsMet() const override { return position_; }

 private:
  RecordFile file_;
  const ScrambleKey key_ = buildScrambleKey();
  std::array<std::uint8_t, kRecordSize> buffer_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

class StoredRecordReading : public RecordReader {
 public:
  // Opens opere.ddb and walks its keys: the record numbers, ascending, and
  // a refusal for each key that is no record key.
  Status open() {
    Status done = openReadOnly(kDataDatabaseFileName, data_);
    if (done.ok()) done = checkDatabasePages(data_);
    if (!done.ok()) return done;
    ItemWalk walk(data_.handle);
    bdb::Item key;
    bdb::Item item;
    while (walk.next(key, item)) {
      ++items_;
      if (key.size != kRecordKeySize) {
        refusals_.push_back("chiave di " + std::to_string(key.size) + " byte in " + data_.fileName +
                            ": non è un record");
        continue;
      }
      numbers_.push_back(recordNumberOfKey(key.bytes().first<kRecordKeySize>()));
    }
    done = checkWalkEnd(data_, walk.status());
    std::sort(numbers_.begin(), numbers_.end());
    return done;
  }

  Status next(RecordStep& step) override {
    step = RecordStep();
    if (!refusals_.empty()) {
      step.kind = RecordStep::Kind::kRefused;
      step.problem = std::move(refusals_.front());
      refusals_.pop_front();
      return {};
    }
    while (next_ < numbers_.size()) {
      const RecordNumber number = numbers_[next_++];
      step.place = "record numero " + std::to_string(number);
      const Status fetched = fetchRecord(data_, number, key_, step.record);
      if (!fetched.ok()) {
        step.kind = RecordStep::Kind::kRefused;
        step.problem = fetched.text();
        return {};
      }
      if (!step.record) continue;  // gone since the keys were read
      step.kind = RecordStep::Kind::kRecord;
      return {};
    }
    step.place.clear();
    return {};
  }

  std::size_t itemsMet() const override { return items_; }

 private:
  ReadOnlyDatabase data_;
  const ScrambleKey key_ = buildScrambleKey();
  std::vector<RecordNumber> numbers_;
  std::size_t next_ = 0;
  std::size_t items_ = 0;
  std::deque<std::string> refusals_;
};

template <typename Reading>
Status openReading(std::unique_ptr<RecordReader>& reader) {
  auto reading = std::make_unique<Reading>();
  const Status opened = reading->open();
  if (opened.ok()) reader = std::move(reading);
  return opened;
}

}  // namespace

Status openRecordFileReading(std::unique_ptr<RecordReader>& reader) {
  return openReading<RecordFileReading>(reader);
}

Status openStoredRecordReading(std::unique_ptr<RecordReader>& reader) {
  return openReading<StoredRecordReading>(reader);
}

}  // namespace indicizza
