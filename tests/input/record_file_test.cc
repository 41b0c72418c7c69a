#include "input/record_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/console.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct SizeCase {
  std::size_t fileSize;
  std::vector<ReadOutcome> expected;  // outcomes until the first non-whole one
  friend void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.fileSize << " bytes"; }
};

class RecordFileSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RecordFileSizes, ReadAsWholeShortAndEnd) {
  testing::ScratchDir dir;
  std::string content(GetParam().fileSize, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
  testing::writeFile(dir / "opere.cry", content);

  RecordFile file = openRecordFile(dir / "opere.cry");
  std::array<std::uint8_t, kRecordSize> buffer;
  std::vector<ReadOutcome> outcomes;
  std::size_t offset = 0;
  for (;;) {
    ReadOutcome outcome;
    ASSERT_TRUE(readRecord(file, buffer, outcome).ok());
    outcomes.push_back(outcome);
    if (outcomes.back() != ReadOutcome::kEnd) {
      // Whatever was read is the file's next bytes, in order.
      const std::size_t n = std::min(kRecordSize, content.size() - offset);
      EXPECT_EQ(0, std::memcmp(buffer.data(), content.data() + offset, n));
      offset += n;
    }
    if (outcomes.back() != ReadOutcome::kWholeRecord) break;
  }
  EXPECT_EQ(outcomes, GetParam().expected);
}

using enum ReadOutcome;
INSTANTIATE_TEST_SUITE_P(
    Reading, RecordFileSizes,
    ::testing::Values(SizeCase{0, {kEnd}}, SizeCase{1, {kShortRecord}},
                      SizeCase{524, {kShortRecord}}, SizeCase{525, {kWholeRecord, kEnd}},
                      SizeCase{1050, {kWholeRecord, kWholeRecord, kEnd}},
                      SizeCase{1051, {kWholeRecord, kWholeRecord, kShortRecord}}));

TEST(OpenRecordFile, MissingFileOrDirectoryIsFatal) {
  testing::ScratchDir dir;
  RecordFile file;
  EXPECT_EQ(tryOpenRecordFile(dir / "opere.cry", file).code(), Status::Code::kCannotOpen);
  EXPECT_EQ(tryOpenRecordFile(dir.path(), file).code(), Status::Code::kNotRegular);
  EXPECT_THROW(openRecordFile(dir / "opere.cry"), FatalStop);
  EXPECT_THROW(openRecordFile(dir.path()), FatalStop);
}

TEST(ReadRecord, AReadErrorIsNoEndOfFile) {
  // /proc/self/mem opens, but every read from its start fails.
  RecordFile file;
  ASSERT_TRUE(tryOpenRecordFile("/proc/self/mem", file).ok());
  std::array<std::uint8_t, kRecordSize> buffer;
  ReadOutcome outcome;
  EXPECT_EQ(readRecord(file, buffer, outcome).code(), Status::Code::kReadFailed);
}

}  // namespace
}  // namespace indicizza
