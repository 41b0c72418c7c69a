#include "search/evaluation/record_list_cache.h"

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
    bytes_ = 0;
  }
  lists_.emplace(key, std::move(list));
  bytes_ += bytes;
}

}  // namespace indicizza
