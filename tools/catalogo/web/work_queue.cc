#include "catalogo/web/work_queue.h"

#include <algorithm>

namespace indicizza::catalogo {

WorkQueue::WorkQueue(std::size_t threads, std::size_t capacity) : capacity_(capacity) {
  for (std::size_t i = 0; i < std::max<std::size_t>(threads, 1); ++i)
    threads_.emplace_back([this] { work(); });
}

WorkQueue::~WorkQueue() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool WorkQueue::offer(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    if (ending_ || tasks_.size() >= capacity_) return false;
    tasks_.push_back(std::move(task));
  }
  queued_.notify_one();
  return true;
}

void WorkQueue::work() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
      if (tasks_.empty()) return;  // ending, and nothing left to run
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace indicizza::catalogo
