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

  // unionOf(lists) (record_sets.h), kept when there are two lists or more
  // and the union is long enough to be kept: the union of a common word's
  // forms is about as long as they, and made again for each search. A kept
  // union is given for lists that are the very lists it was made of, or
  // hold the same numbers; it holds them, counts against the budget as a
  // list does (with those of its lists too short to be kept), and is
  // dropped with the lists.
  List unionOf(const std::vector<List>& lists);

 private:
  const std::size_t budgetBytes_;
  mutable std::mutex mutex_;
  std::map<std::string, List, std::less<>> lists_;
  struct KeptUnion {
    std::vector<List> of;
    List all;
  };
  // By the lists' lengths, first and last numbers.
  std::multimap<std::vector<RecordNumber>, KeptUnion> unions_;
  std::size_t bytes_ = 0;
};

}  // namespace indicizza
