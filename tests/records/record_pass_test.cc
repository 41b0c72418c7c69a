// The scan's work done in the load's pass: every record taken reaches the
// handler once, in order, with what was prepared of it; a failure on either
// thread ends the pass early and reaches its caller.
#include "records/record_pass.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

// Records `first` to `first + count - 1`, stored, as one bulk.
void bulkOf(int first, int count, bdb::BulkPairs& pairs) {
  pairs.clear();
  for (const PlainRecord& record : testing::numberedRecords(first, count)) {
    const auto [key, data] = testing::storedItemOf(record);
    pairs.add({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()},
              {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
  }
}

struct PassCase {
  const char* what;
  int failingPrepare;  // the record number whose preparation throws; 0: none
  int failingHandle;   // the record number whose handling throws; 0: none
};

TEST(RecordPass, HandlesEveryRecordInOrderOrEndsEarlyOnAFailure) {
  // Enough bulks that a pass told to stop at record 5000 stops well before
  // their end: at most five blocks of 4096 records prepared ahead, and four
  // bulks waiting.
  constexpr int kBulks = 40;
  constexpr int kBulkRecords = 1000;
  const PassCase cases[] = {
      {"no failure", 0, 0},
      {"preparing fails", 5000, 0},
      {"handling fails", 0, 5000},
  };
  const ScrambleKey key = buildScrambleKey();
  for (const auto& c : cases) {
    std::vector<int> handled;
    const RecordPreparer<int> prepare = [&](const DecodedRecord& record, int& number) {
      number = recordNumberOf(record);
      if (number == c.failingPrepare) throw std::runtime_error("prepare");
    };
    const PreparedRecordHandler<int> handle = [&](const DecodedRecord& record, const int& number) {
      if (number != recordNumberOf(record)) throw std::logic_error("another record's preparation");
      if (number == c.failingHandle) throw std::bad_alloc();
      handled.push_back(number);
    };
    RecordPass<int> pass(key, prepare, handle);
    bdb::BulkPairs pairs(std::size_t{1} << 20);
    int taken = 0;
    for (; taken < kBulks; ++taken) {
      bulkOf(taken * kBulkRecords + 1, kBulkRecords, pairs);
      if (!pass.take(pairs)) break;
    }
    std::size_t count = 0;
    if (c.failingPrepare == 0 && c.failingHandle == 0) {
      EXPECT_TRUE(pass.finish(count).ok());
      EXPECT_EQ(count, std::size_t{kBulks * kBulkRecords});
    } else {
      EXPECT_ANY_THROW(pass.finish(count)) << c.what;
      // The load is told to stop, a few bulks after the failure at most.
      EXPECT_LT(taken, kBulks) << c.what;
    }
    for (std::size_t i = 0; i < handled.size(); ++i)
      ASSERT_EQ(handled[i], static_cast<int>(i) + 1) << c.what;
  }
}

}  // namespace
}  // namespace indicizza
