#include "index_store/stored_record_terms.h"

#include <utility>

#include "base/byte_hash.h"
#include "input/decoded_record.h"

namespace indicizza {

StoredRecordTerms::StoredRecordTerms(std::filesystem::path data, const ScrambleKey& key,
                                     const StopWordSet& stopWords)
    : path_(std::move(data)), key_(key), stopWords_(stopWords) {}

Status StoredRecordTerms::carries(std::span<const std::uint8_t, kRecordKeySize> key,
                                  std::string_view term, bool& carries) {
  carries = false;
  if (!data_.isOpen()) {
    // A file that can't be opened is one that can't be read.
    const Status opened = data_.open(path_.c_str(), bdb::OpenMode::kReadOnly);
    if (!opened.ok()) return Status::systemFailure(Status::Code::kReadFailed, opened.error());
  }
  const auto number = static_cast<std::uint32_t>(recordNumberOfKey(key));
  auto found = terms_.find(number);
  if (found == terms_.end()) {
    bdb::Item stored;
    const Status read = data_.get(key, stored);
    if (read.code() == Status::Code::kNotFound) return {};
    if (!read.ok()) return read;
    if (terms_.size() >= kKeptRecords) terms_.clear();
    found = terms_.try_emplace(number).first;
    extractTerms(DecodedRecord::fromScrambled(stored.bytes(), key_), stopWords_, found->second);
  }
  carries = found->second.contains(term, hashBytes(term));
  return {};
}

}  // namespace indicizza
