#include "search/evaluation/record_list_cache.h"

#include <algorithm>

#include "search/evaluation/record_sets.h"

namespace indicizza {

RecordListCache::RecordListCache(std::size_t budgetBytes) : budgetBytes_(budgetBytes) {}

RecordListCache::List RecordListCache::find(std::string_view key) const {
  const std::lock_guard lock(mutex_);
  const auto found = lists_.find(key);
  return found == lists_.end() ? nullptr : found->second;
}

void RecordListCache::keep(const std::string& key, List list) {
  if (!list || list->size() < kShortestKept) return;
  const std::size_t bytes = list->size() * sizeof(RecordNumber);
  if (bytes > budgetBytes_) return;
  const std::lock_guard lock(mutex_);
  if (lists_.contains(key)) return;
  if (bytes_ + bytes > budgetBytes_) {
    lists_.clear();
    unions_.clear();
    bytes_ = 0;
  }
  lists_.emplace(key, std::move(list));
  bytes_ += bytes;
}

namespace {

// What tells lists apart before their numbers are compared: their lengths,
// first and last numbers.
std::vector<RecordNumber> outlineOf(const std::vector<RecordListCache::List>& lists) {
  std::vector<RecordNumber> outline;
  for (const RecordListCache::List& list : lists) {
    outline.push_back(static_cast<RecordNumber>(list->size()));
    outline.push_back(list->empty() ? 0 : list->front());
    outline.push_back(list->empty() ? 0 : list->back());
  }
  return outline;
}

bool sameLists(const std::vector<RecordListCache::List>& a,
               const std::vector<RecordListCache::List>& b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && *a[i] != *b[i]) return false;
  }
  return true;
}

}  // namespace

RecordListCache::List RecordListCache::unionOf(const std::vector<List>& lists) {
  if (lists.size() < 2) return indicizza::unionOf(lists);
  std::vector<RecordNumber> outline = outlineOf(lists);
  {
    const std::lock_guard lock(mutex_);
    const auto [first, last] = unions_.equal_range(outline);
    for (auto kept = first; kept != last; ++kept) {
      if (sameLists(kept->second.of, lists)) return kept->second.all;
    }
  }
  List all = indicizza::unionOf(lists);
  if (all->size() < kShortestKept) return all;
  std::size_t bytes = all->size() * sizeof(RecordNumber);
  for (const List& list : lists) {
    if (list->size() < kShortestKept) bytes += list->size() * sizeof(RecordNumber);
  }
  if (bytes > budgetBytes_) return all;
  const std::lock_guard lock(mutex_);
  if (bytes_ + bytes > budgetBytes_) {
    lists_.clear();
    unions_.clear();
    bytes_ = 0;
  }
  unions_.emplace(std::move(outline), KeptUnion{lists, all});
  bytes_ += bytes;
  return all;
}

}  // namespace indicizza
