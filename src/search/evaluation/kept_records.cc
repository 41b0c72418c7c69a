#include "search/evaluation/kept_records.h"

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

KeptRecords::Entry KeptRecords::find(RecordNumber number, Matching matching) const {
  if (matching != matching_) return nullptr;
  const auto found = entries_.find(number);
  return found == entries_.end() ? nullptr : found->second;
}

void KeptRecords::keep(RecordNumber number, Matching matching, Entry entry) {
  if (!entry) return;
  const std::size_t bytes = keptBytesOf(*entry);
  if (bytes > budgetBytes_) return;
  if (matching != matching_ || bytes_ + bytes > budgetBytes_) clear();
  matching_ = matching;
  const auto [at, added] = entries_.try_emplace(number, std::move(entry));
  if (added) bytes_ += bytes;
}

void KeptRecords::makeRoom(std::size_t bytes) {
  if (bytes_ + bytes > budgetBytes_) clear();
}

void KeptRecords::clear() {
  entries_.clear();
  bytes_ = 0;
}

}  // namespace indicizza
