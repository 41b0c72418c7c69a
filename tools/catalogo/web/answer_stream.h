// An answer written while it is sent: a worker writes its bytes into a
// buffer of bounded size, the HTTP thread takes them out as the client
// reads, so that an answer of any length holds no more than the buffer.
//
// The writer waits while the buffer is full; the reader, finding it empty,
// pauses its connection (the HTTP thread never waits) and is woken when
// bytes come or the answer ends. Safe between one writer and one reader.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace indicizza::catalogo {

// What a stream holds at most before its writer waits.
inline constexpr std::size_t kStreamBufferBytes = 256 * 1024;

class AnswerStream {
 public:
  // `pause` is called by read(), with the stream's lock held, when the
  // reader must wait; `wake` then once, with the lock held too, when bytes
  // come, the answer ends or the reader gives up.
  AnswerStream(std::size_t capacity, std::function<void()> pause, std::function<void()> wake);
  AnswerStream(const AnswerStream&) = delete;
  AnswerStream& operator=(const AnswerStream&) = delete;

  // Appends `bytes`, waiting while the buffer is full. False, with nothing
  // more to write: the reader has gone, or `stop` (asked now and then while
  // waiting) said so.
  bool write(std::string_view bytes, const std::function<bool()>& stop);
  // The answer ends: whole, or cut short (the reader then ends with an
  // error, so that the client can tell).
  void finish(bool whole);

  enum class Read { kBytes, kWait, kEnd, kCut };
  // Takes up to `size` bytes into `out` (kBytes, `taken` of them); kWait:
  // none yet, `pause` has been called; kEnd, kCut: as finish() said.
  Read read(char* out, std::size_t size, std::size_t& taken);
  // The reader is gone (its answer dropped): writes fail from now on, and
  // a paused reader is never woken.
  void abandon();

 private:
  void wakeReader();

  const std::size_t capacity_;
  std::function<void()> pause_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::string buffer_;
  std::size_t start_ = 0;  // bytes of buffer_ already taken
  bool paused_ = false;
  bool finished_ = false;
  bool whole_ = false;
  bool abandoned_ = false;
};

}  // namespace indicizza::catalogo
