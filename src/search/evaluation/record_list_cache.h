// Record lists of index keys kept from one search to the next, for a
// program that serves many searches over the same opere.idb. The list of a
// common word holds about one number per record of the catalogue, and
// reading and sorting it is most of what such a search costs.
//
// A cache belongs to one version of opere.idb: whoever holds it drops it
// when the file is replaced (database_pool.h does). Safe to use from
// several threads at once.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "input/decoded_record.h"

namespace indicizza {

class RecordListCache {
 public:
  // Ascending record numbers, each once, as IndexTerms::recordsUnder gives.
  using List = std::shared_ptr<const std::vector<RecordNumber>>;

  // Lists shorter than this are quick to read again and are not kept.
  static constexpr std::size_t kShortestKept = 4096;

  // Keeps lists up to `budgetBytes` of record numbers in all.
  explicit RecordListCache(std::size_t budgetBytes);
  RecordListCache(const RecordListCache&) = delete;
  RecordListCache& operator=(const RecordListCache&) = delete;

  // The list kept for `key`, or nullptr.
  List find(std::string_view key) const;

  // Keeps `list` as the list of `key` when it is long enough. A list that
  // does not fit beside those kept makes the cache drop them all first, so
  // it follows what is being asked for now.
  void keep(const std::string& key, List list);

 private:
  const std::size_t budgetBytes_;
  mutable std::mutex mutex_;
  std::map<std::string, List, std::less<>> lists_;
  std::size_t bytes_ = 0;
};

}  // namespace indicizza
