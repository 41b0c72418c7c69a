// Reading records of a regular file again: a file that shrank since the
// first read, where a slice's records land, and the choice between reading
// it through per slice and one read per record. Whole loads are checked
// through the load (load_records_test).
#include "records/record_rereads.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "input/record_layout.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

constexpr std::uint32_t kNo = kNoRank;
// The rank of the record at each place of the file: eight survivors among
// ten records.
const std::vector<std::uint32_t> kRanks = {7, kNo, 0, 3, kNo, 1, 2, 6, 5, 4};
constexpr std::size_t kHeader = 3;  // bytes before the first record

// A file of `records` records after kHeader bytes.
std::string recordFile(std::size_t records) {
  std::string content(kHeader, 'H');
  for (std::size_t place = 0; place < records; ++place) {
    content.append(kRecordSize, static_cast<char>(place));
  }
  return content;
}

TEST(RecordRereads, AFileThatShrankSinceItWasReadIsAReadFailure) {
  testing::ScratchDir dir;
  std::vector<std::uint8_t> piece(4 * kRecordSize);
  std::vector<std::uint8_t> slice(8 * kStoredRecordSize);
  for (const std::size_t bytes : {std::size_t{0}, kHeader + 9 * kRecordSize + 100}) {
    testing::writeFile(dir / "f", recordFile(kRanks.size()).substr(0, bytes));
    const int fd = open((dir / "f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const Status read = readSliceThrough({fd, kHeader}, kRanks, 0, 8, piece, slice.data());
    close(fd);
    EXPECT_EQ(read.code(), Status::Code::kReadFailed) << bytes << " bytes left";
  }
}

// A file of 64 records in number order but for two that moved, read in
// runs of at most 32: each slice's records land at their ranks, whether
// read with others or alone.
TEST(RecordRereads, EachRecordOfASliceLandsAtItsRankHoweverItIsRead) {
  testing::ScratchDir dir;
  std::vector<std::uint32_t> ranks(64);
  for (std::uint32_t place = 0; place < ranks.size(); ++place) ranks[place] = place;
  std::swap(ranks[3], ranks[40]);
  std::swap(ranks[5], ranks[60]);
  testing::writeFile(dir / "f", recordFile(ranks.size()));
  const int fd = open((dir / "f").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<std::uint8_t> piece(32 * kRecordSize);
  for (const std::uint32_t first : {0u, 16u, 32u}) {
    std::vector<std::uint8_t> slice(16 * kStoredRecordSize);
    ASSERT_TRUE(readSliceThrough({fd, kHeader}, ranks, first, 16, piece, slice.data()).ok());
    for (std::uint32_t place = 0; place < ranks.size(); ++place) {
      const std::uint32_t at = ranks[place] - first;
      if (at < 16) {
        EXPECT_EQ(slice[std::size_t{at} * kStoredRecordSize + 1], place) << first;
      }
    }
  }
  close(fd);
}

struct ChoiceCase {
  std::size_t survivors;
  std::size_t fileRecords;  // the survivors first, then records no one's
  std::size_t sliceBytes;
  bool inOrder;              // ranks follow places, else are scattered
  std::size_t sliceRecords;  // 0: a read per record
};

// The choice the load makes: as few equal slices as fit, when reading them
// in runs of at most 256 records costs less than a read per record.
TEST(RecordRereads, ReadsThroughInFewEqualSlicesOnlyWhenThatReadsLittleMore) {
  constexpr std::size_t r = kStoredRecordSize;
  const ChoiceCase cases[] = {
      {0, 0, 1000 * r, false, 0},           // nothing to read
      {1000, 1010, 1000 * r, false, 1000},  // all at once
      {1000, 1010, 600 * r, false, 500},    // two equal slices, not 600 and 400
      {2000, 2000, 500 * r, false, 500},    // four passes over the whole file
      {2000, 2000, 125 * r, false, 0},      // sixteen, a read for nearly each record
      {1000, 8000, 2000 * r, false, 1000},  // the 7,000 no one's, after them, not read
      {1000, 1000, r - 1, false, 0},        // not even one record fits
      {2000, 2000, 50 * r, true, 50},       // forty passes, each over its own share
  };

  for (const auto& c : cases) {
    std::vector<std::uint32_t> ranks(c.fileRecords, kNoRank);
    for (std::size_t place = 0; place < c.survivors; ++place)
      ranks[place] = static_cast<std::uint32_t>(place);
    std::mt19937 random(1);
    if (!c.inOrder) std::shuffle(ranks.begin(), ranks.begin() + c.survivors, random);
    std::size_t slice = rereadSliceRecords(c.survivors, c.sliceBytes);
    if (!readingThroughCostsLess(ranks, c.survivors, slice, 256)) slice = 0;
    EXPECT_EQ(slice, c.sliceRecords)
        << c.survivors << " of " << c.fileRecords << " in " << c.sliceBytes << " bytes";
  }
}

}  // namespace
}  // namespace indicizza
