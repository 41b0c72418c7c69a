// Work handed from one thread of the run to another.
//
// A phase that uses the second core splits into a helper thread that does
// one half of the work (the library's, or the preparation of it) and the
// phase's own thread that does the other half and everything the console
// sees. They meet at a HandOff: a bounded queue of filled blocks, with a
// second queue bringing the emptied blocks back, so the few blocks of a
// phase are made once and reused. Either side can close it: the helper when
// its work is over (the blocks already in the queue are still taken), the
// phase when it stops early (the helper's next wait then fails, and it
// ends).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "base/quiet_thread.h"
#include "base/status.h"

namespace indicizza {

// A bounded queue of blocks of type T between one producer and one consumer,
// with the way back for emptied blocks. Not copyable.
template <typename T>
class HandOff {
 public:
  // At most `depth` blocks are ever made; fewer when memory runs out for
  // one after the first (the hand-off then goes on with those it has).
  explicit HandOff(std::size_t depth) : depth_(depth) {}
  HandOff(const HandOff&) = delete;
  HandOff& operator=(const HandOff&) = delete;

  // The producer's next empty block: a returned one, a new one while fewer
  // than `depth` are made, or, waiting, the next one returned. Null once the
  // hand-off is closed. Throws std::bad_alloc when not even the first block
  // can be made.
  std::unique_ptr<T> emptyBlock() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (closed_) return nullptr;
      if (!empty_.empty()) {
        std::unique_ptr<T> block = std::move(empty_.front());
        empty_.pop_front();
        return block;
      }
      if (made_ < depth_) {
        ++made_;
        lock.unlock();
        try {
          return std::make_unique<T>();
        } catch (const std::bad_alloc&) {
          lock.lock();
          depth_ = --made_;
          if (made_ == 0) throw;
          continue;
        }
      }
      changed_.wait(lock);
    }
  }

  // Hands a filled block to the consumer; false (the block dropped) once the
  // hand-off is closed.
  bool push(std::unique_ptr<T> block) {
    const std::lock_guard lock(mutex_);
    if (closed_) return false;
    full_.push_back(std::move(block));
    changed_.notify_all();
    return true;
  }

  // The next filled block, waiting for it; null once the hand-off is closed
  // and every block pushed before has been taken.
  std::unique_ptr<T> pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !full_.empty() || closed_; });
    if (full_.empty()) return nullptr;
    std::unique_ptr<T> block = std::move(full_.front());
    full_.pop_front();
    return block;
  }

  // The producer's step from one block to the next: hands `block` (filled)
  // to the consumer and puts the next empty block in its place. False, with
  // `block` null, once the hand-off is closed.
  bool passOn(std::unique_ptr<T>& block) {
    if (!push(std::move(block))) return false;
    block = emptyBlock();
    return block != nullptr;
  }

  // Gives an emptied block back to the producer.
  void giveBack(std::unique_ptr<T> block) {
    const std::lock_guard lock(mutex_);
    empty_.push_back(std::move(block));
    changed_.notify_all();
  }

  // Ends the hand-off: waits on both sides end (pop still gives the blocks
  // already pushed), and pushes fail.
  void close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<T>> full_;
  std::deque<std::unique_ptr<T>> empty_;
  std::size_t depth_;
  std::size_t made_ = 0;
  bool closed_ = false;
};

// The helper thread of a phase: runs `work` (which returns the Status of its
// half) and closes `handOff` when it returns, or throws. Destroying it
// closes `handOff` too and waits for the thread, so a phase that stops early
// (a fatal stop unwinding through it) never leaves the helper running on a
// handle that is about to be closed. The helper takes no signal (see
// quiet_thread.h). Not copyable.
template <typename T>
class HelperThread {
 public:
  // Throws std::bad_alloc when no thread can be started.
  template <typename Work>
  HelperThread(HandOff<T>& handOff, Work work) : handOff_(handOff) {
    try {
      thread_ = startQuietThread([this, work = std::move(work)]() mutable {
        try {
          status_ = work();
        } catch (...) {
          error_ = std::current_exception();
        }
        handOff_.close();
      });
    } catch (const std::system_error&) {
      throw std::bad_alloc();
    }
  }
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  ~HelperThread() {
    handOff_.close();
    if (thread_.joinable()) thread_.join();
  }

  // Waits for the helper to end, then gives the Status of its half, or
  // throws what it threw.
  Status finish() {
    if (thread_.joinable()) thread_.join();
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    return status_;
  }

 private:
  HandOff<T>& handOff_;
  std::thread thread_;
  Status status_;
  std::exception_ptr error_;
};

}  // namespace indicizza
