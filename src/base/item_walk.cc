#include "base/item_walk.h"

#include <algorithm>
#include <vector>

namespace indicizza {
namespace {

// Size of the buffer that receives the items of one cursor step.
constexpr std::size_t kBulkGetBytes = std::size_t{4} << 20;

bool keyLess(const std::vector<std::uint8_t>& before, const bdb::Item& key) {
  return std::lexicographical_compare(before.begin(), before.end(), key.data, key.data + key.size);
}

bool keyEquals(const std::vector<std::uint8_t>& a, const bdb::Item& b) {
  return std::equal(a.begin(), a.end(), b.data, b.data + b.size);
}

}  // namespace

WalkEnd walkItems(bdb::Database& database, const ItemVisitor& visit) {
  bdb::Cursor cursor;
  if (!database.openCursor(cursor).ok()) return WalkEnd::kNoCursor;

  const std::uint64_t mostItems = database.fileSize() / kSmallestItemFootprint;
  std::uint64_t items = 0;
  std::vector<std::uint8_t> lastKey;
  bool broken = false;
  // Visits one item unless it breaks the order or the count.
  const auto take = [&](const bdb::Item& key, const bdb::Item& data) {
    if (items > 0 && !keyLess(lastKey, key)) broken = true;
    if (++items > mostItems) broken = true;
    if (broken) return false;
    lastKey.assign(key.data, key.data + key.size);
    visit(key, data);
    return true;
  };

  bdb::BulkItems bulkItems(kBulkGetBytes);
  bool bulk = true;
  Status result;
  while (!broken) {
    const bool started = items > 0;
    if (bulk) {
      result = started ? cursor.nextBulk(bulkItems) : cursor.firstBulk(bulkItems);
      if (result.ok()) {
        bdb::Item key;
        bdb::Item data;
        while (bulkItems.next(key, data) && take(key, data)) {
        }
        continue;
      }
      if (result.code() != Status::Code::kNotFound) {
        // A failed step leaves the cursor where it was.
        bulk = false;
        continue;
      }
    } else {
      bdb::Item key;
      bdb::Item data;
      result = started ? cursor.next(key, data) : cursor.first(key, data);
      if (result.ok()) {
        take(key, data);
        continue;
      }
    }
    break;
  }
  if (items == 0 && !broken) return WalkEnd::kNoFirstItem;
  if (broken || result.code() != Status::Code::kNotFound) return WalkEnd::kBroken;
  // A walk cut short by a leaf that claims to be the last one.
  bdb::Cursor ends;
  bdb::Item key;
  bdb::Item data;
  if (!database.openCursor(ends).ok() || !ends.last(key, data).ok() || !keyEquals(lastKey, key)) {
    return WalkEnd::kBroken;
  }
  return WalkEnd::kComplete;
}

}  // namespace indicizza
