#include "base/item_walk.h"

#include <algorithm>

#include "base/btree_pages.h"

namespace indicizza {
namespace {

// Size of the buffer that receives the items of one cursor step.
constexpr std::size_t kBulkGetBytes = std::size_t{4} << 20;

bool keyEquals(const std::vector<std::uint8_t>& a, const bdb::Item& b) {
  return std::equal(a.begin(), a.end(), b.data, b.data + b.size);
}

// `status`, a failure, as a failed read.
Status asReadFailure(const Status& status) {
  return Status::libraryFailure(Status::Code::kReadFailed, status.error(), status.text());
}

}  // namespace

ItemWalk::ItemWalk(bdb::Database& database) : database_(database), bulkItems_(kBulkGetBytes) {
  mostItems_ = database.fileSize() / kSmallestItemFootprint;
  status_ = database.openCursor(cursor_);
  over_ = !status_.ok();
}

bool ItemWalk::next(bdb::Item& key, bdb::Item& data) {
  while (!over_) {
    if (bulkPending_) {
      if (bulkItems_.next(key, data)) return take(key);
      bulkPending_ = false;
    }
    const bool started = items_ > 0;
    if (bulk_) {
      const Status step = started ? cursor_.nextBulk(bulkItems_) : cursor_.firstBulk(bulkItems_);
      if (step.ok()) {
        bulkPending_ = true;
        continue;
      }
      if (step.code() != Status::Code::kNotFound) {
        // A failed step leaves the cursor where it was.
        bulk_ = false;
        continue;
      }
      finish(step);
    } else {
      const Status step = started ? cursor_.next(key, data) : cursor_.first(key, data);
      if (step.ok()) return take(key);
      finish(step);
    }
  }
  return false;
}

bool ItemWalk::take(const bdb::Item& key) {
  if ((items_ > 0 && !keySortsBefore(lastKey_, key.bytes())) || ++items_ > mostItems_) {
    over_ = true;
    status_ = Status::failure(Status::Code::kDamaged);
    return false;
  }
  lastKey_.assign(key.data, key.data + key.size);
  return true;
}

void ItemWalk::finish(const Status& step) {
  over_ = true;
  if (step.code() != Status::Code::kNotFound) {
    status_ = step;
    return;
  }
  if (items_ == 0) {
    status_ = Status::failure(Status::Code::kEmpty);
    return;
  }
  // A walk cut short by a leaf that claims to be the last one.
  bdb::Cursor ends;
  bdb::Item key;
  bdb::Item data;
  Status end = database_.openCursor(ends);
  if (end.ok()) end = ends.last(key, data);
  if (!end.ok()) {
    status_ = asReadFailure(end);
  } else if (!keyEquals(lastKey_, key)) {
    status_ = Status::failure(Status::Code::kDamaged);
  }
}

}  // namespace indicizza
