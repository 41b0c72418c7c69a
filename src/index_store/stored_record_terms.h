// Whether a record of opere.ddb carries a term, for the write phase of an
// increment (index_changes.h): the record is read by its key, descrambled
// and cut into terms as the scan would. The terms of the last records asked
// about are kept, as one record answers for many terms. Used by one thread
// at a time; not copyable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <unordered_map>

#include "base/berkeley_db.h"
#include "base/status.h"
#include "indexing/terms.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "records/data_database.h"

namespace indicizza {

class StoredRecordTerms {
 public:
  // Keeps references to `key` and `stopWords`, which must outlive it.
  StoredRecordTerms(std::filesystem::path data, const ScrambleKey& key,
                    const StopWordSet& stopWords);
  StoredRecordTerms(const StoredRecordTerms&) = delete;
  StoredRecordTerms& operator=(const StoredRecordTerms&) = delete;

  // Whether the record under `key` carries `term`; a key with no record
  // carries nothing. The file is opened, read only, at the first call.
  // Fails with kReadFailed (the open's failure included).
  Status carries(std::span<const std::uint8_t, kRecordKeySize> key, std::string_view term,
                 bool& carries);

 private:
  // Past this many records kept, they are all let go.
  static constexpr std::size_t kKeptRecords = 4096;
  std::filesystem::path path_;
  const ScrambleKey& key_;
  const StopWordSet& stopWords_;
  bdb::Database data_;
  std::unordered_map<std::uint32_t, TermList> terms_;
};

}  // namespace indicizza
