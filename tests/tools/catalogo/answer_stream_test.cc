// An answer written while it is sent: every byte arrives once and in order
// through a buffer far smaller than the answer, the reader pauses when it
// finds nothing and is woken, and each end (whole, cut short, the reader
// gone) is seen by the other side.
#include "catalogo/web/answer_stream.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace indicizza::catalogo {
namespace {

struct StreamCase {
  const char* name;
  std::size_t capacity;
  std::size_t answerBytes;
  std::size_t writeBytes;  // bytes per write
  std::size_t readBytes;   // bytes asked per read
  bool whole;              // finish(whole)
};

class StreamedAnswers : public ::testing::TestWithParam<StreamCase> {};

// The reader side as the HTTP thread runs it, in a loop of its own: reads
// while bytes come, and when paused, waits to be woken.
TEST_P(StreamedAnswers, ArriveWholeAndInOrder) {
  const StreamCase& c = GetParam();
  std::string answer(c.answerBytes, '\0');
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<char>('a' + i % 26);
  std::mutex mutex;
  std::condition_variable woken;
  int paused = 0;
  int wakes = 0;
  AnswerStream stream(
      c.capacity, [&] { ++paused; },
      [&] {
        {
          const std::lock_guard lock(mutex);
          ++wakes;
        }
        woken.notify_all();
      });
  std::thread writer([&] {
    for (std::size_t at = 0; at < answer.size(); at += c.writeBytes)
      ASSERT_TRUE(stream.write(std::string_view(answer).substr(at, c.writeBytes), {}));
    stream.finish(c.whole);
  });
  std::string received;
  std::vector<char> block(c.readBytes);
  AnswerStream::Read read;
  for (;;) {
    int wakesBefore = 0;
    {
      const std::lock_guard lock(mutex);
      wakesBefore = wakes;
    }
    std::size_t taken = 0;
    read = stream.read(block.data(), block.size(), taken);
    if (read == AnswerStream::Read::kBytes) {
      received.append(block.data(), taken);
    } else if (read == AnswerStream::Read::kWait) {
      std::unique_lock lock(mutex);
      woken.wait(lock, [&] { return wakes > wakesBefore; });
    } else {
      break;
    }
  }
  writer.join();
  EXPECT_EQ(read, c.whole ? AnswerStream::Read::kEnd : AnswerStream::Read::kCut);
  EXPECT_TRUE(received == answer) << received.size() << " of " << answer.size() << " bytes";
  EXPECT_EQ(paused, wakes);  // every pause woken once
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, StreamedAnswers,
    ::testing::Values(StreamCase{"ManyTimesTheBuffer", 4096, 1 << 20, 1000, 700, true},
                      StreamCase{"WritesLargerThanTheBuffer", 1000, 100'000, 7000, 300, true},
                      StreamCase{"ReadsLargerThanTheBuffer", 512, 50'000, 100, 4096, true},
                      StreamCase{"CutShort", 4096, 100'000, 1000, 1000, false},
                      StreamCase{"Empty", 4096, 0, 1, 1000, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StreamedAnswer, AWriterStopsWhenItsReaderIsGoneOrItsStopSays) {
  AnswerStream gone(
      8, [] {}, [] {});
  ASSERT_TRUE(gone.write("12345678", {}));
  std::thread abandon([&] { gone.abandon(); });
  EXPECT_FALSE(gone.write("9", {}));  // waits for room until abandoned
  abandon.join();

  AnswerStream stopped(
      8, [] {}, [] {});
  ASSERT_TRUE(stopped.write("12345678", {}));
  int asked = 0;
  EXPECT_FALSE(stopped.write("9", [&] { return ++asked == 3; }));
  EXPECT_EQ(asked, 3);
}

}  // namespace
}  // namespace indicizza::catalogo
