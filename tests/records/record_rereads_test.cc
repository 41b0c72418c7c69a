// Reading records of a regular file again: a file that shrank since the
// first read, and the choice between reading it through per slice and one
// read per record. Where each record lands is checked through the load
// (load_records_test).
#include "records/record_rereads.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
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

struct ChoiceCase {
  std::size_t survivors;
  std::size_t fileRecords;
  std::size_t sliceBytes;
  std::size_t sliceRecords;  // 0: a read per record
};

TEST(RecordRereads, ReadsThroughInFewEqualSlicesOnlyWhenThatReadsLittleMore) {
  constexpr std::size_t r = kStoredRecordSize;
  const ChoiceCase cases[] = {
      {0, 0, 1000 * r, 0},           // nothing to read
      {1000, 1010, 1000 * r, 1000},  // all at once
      {1000, 1010, 600 * r, 500},    // two equal slices, not 600 and 400
      {1000, 1000, 125 * r, 125},    // eight passes: 8000 records read for 1000
      {1000, 1000, 111 * r, 0},      // nine passes: 9000 for 1000
      {1000, 8000, 2000 * r, 1000},  // one pass over eight times as many
      {1000, 8001, 2000 * r, 0},    {1000, 1000, r - 1, 0},  // not even one record fits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rereadSliceRecords(c.survivors, c.fileRecords, c.sliceBytes), c.sliceRecords)
        << c.survivors << " of " << c.fileRecords << " in " << c.sliceBytes << " bytes";
  }
}

}  // namespace
}  // namespace indicizza
