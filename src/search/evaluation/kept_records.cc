#include "search/evaluation/kept_records.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace indicizza {
namespace {

// What malloc takes beside each block it gives.
constexpr std::size_t kAllocationOverhead = 16;
// A map node (the key, the shared pointer, the link, the hash) and its
// bucket; the shared pointer's control block.
constexpr std::size_t kEntryOverhead = 48 + 8 + 16 + 2 * kAllocationOverhead;

std::size_t blockBytes(std::size_t bytes) { return bytes == 0 ? 0 : bytes + kAllocationOverhead; }

std::size_t stringBytes(const std::string& text) {
  // std::string keeps 15 bytes in place; longer texts have a buffer.
  return text.capacity() > 15 ? blockBytes(text.capacity() + 1) : 0;
}

std::size_t stringsBytes(const std::vector<std::string>& strings) {
  std::size_t bytes = blockBytes(strings.capacity() * sizeof(std::string));
  for (const std::string& text : strings) bytes += stringBytes(text);
  return bytes;
}

}  // namespace

std::size_t keptBytesOf(const KeptRecord& kept) {
  std::size_t bytes = sizeof(KeptRecord) + kEntryOverhead + stringsBytes(kept.view.indexTerms);
  for (const auto& tokens : kept.view.tokens) bytes += stringsBytes(tokens);
  for (const auto& tokens : kept.view.codeTokens) bytes += stringsBytes(tokens);
  for (const std::string& code : kept.view.codes) bytes += stringBytes(code);
  return bytes;
}

std::uint64_t KeptRecords::keyOf(RecordNumber number, Matching matching) {
  return std::uint64_t{static_cast<std::uint32_t>(number)} |
         std::uint64_t{matching == Matching::kExact} << 32;
}

const KeptRecord* KeptRecords::Reading::find(RecordNumber number) {
  const auto found = table_->find(keyOf(number, matching_));
  if (found == table_->end()) return nullptr;
  const std::uint64_t keeping = found->second.keeping;
  if (std::find(used_.rbegin(), used_.rend(), keeping) == used_.rend()) used_.push_back(keeping);
  return found->second.entry.get();
}

KeptRecords::Reading KeptRecords::reading(Matching matching) const {
  Reading reading;
  reading.matching_ = matching;
  const std::lock_guard lock(mutex_);
  reading.table_ = table_;
  return reading;
}

void KeptRecords::keep(Reading& reading, std::vector<std::pair<RecordNumber, Entry>> fresh) {
  std::vector<std::size_t> sizes;
  sizes.reserve(fresh.size());
  for (const auto& [number, entry] : fresh) sizes.push_back(keptBytesOf(*entry));
  const std::size_t bytes = std::accumulate(sizes.begin(), sizes.end(), std::size_t{0});
  const std::lock_guard lock(mutex_);
  for (const std::uint64_t id : reading.used_) {
    const auto used = keepings_.find(id);
    if (used != keepings_.end()) used->second.lastUsed = ++clock_;
  }
  reading.used_.clear();
  if (fresh.empty() || bytes > budgetBytes_) return;
  Table table = *table_;
  makeRoom(bytes, table);
  const std::uint64_t id = ++clock_;
  Keeping& keeping = keepings_[id];
  keeping.lastUsed = id;
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    auto& [number, entry] = fresh[i];
    const std::uint64_t key = keyOf(number, reading.matching_);
    const std::size_t size = sizes[i];
    Slot& slot = table[key];
    if (slot.entry) {
      // Read again by a search that began before it was kept: the older
      // keeping gives it up, and goes once it holds nothing.
      const auto older = keepings_.find(slot.keeping);
      older->second.bytes -= slot.bytes;
      if (older->second.bytes == 0 && older->first != id) keepings_.erase(older);
      bytes_ -= slot.bytes;
    }
    slot = Slot{std::move(entry), id, size};
    keeping.keys.push_back(key);
    keeping.bytes += size;
    bytes_ += size;
  }
  table_ = std::make_shared<const Table>(std::move(table));
}

void KeptRecords::makeRoom(std::size_t bytes, Table& table) {
  while (bytes_ + bytes > budgetBytes_ && !keepings_.empty()) {
    auto oldest = keepings_.begin();
    for (auto it = keepings_.begin(); it != keepings_.end(); ++it)
      if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
    for (const std::uint64_t key : oldest->second.keys) {
      const auto slot = table.find(key);
      if (slot != table.end() && slot->second.keeping == oldest->first) table.erase(slot);
    }
    bytes_ -= oldest->second.bytes;
    keepings_.erase(oldest);
  }
}

}  // namespace indicizza
