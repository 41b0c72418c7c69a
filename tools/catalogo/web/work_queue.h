// A fixed set of threads that run tasks from a queue of bounded length: the
// workers on which `catalogo servi` reads the catalogue, so that a search
// never holds up the thread that watches the connections.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace indicizza::catalogo {

class WorkQueue {
 public:
  // Starts `threads` threads (at least one); at most `capacity` tasks wait
  // for one of them. The threads inherit the signal mask of the caller.
  WorkQueue(std::size_t threads, std::size_t capacity);
  // Runs the tasks already queued, then joins the threads.
  ~WorkQueue();
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  // Queues `task` to run on one of the threads; false, leaving it untaken,
  // when `capacity` tasks are waiting already. A task must not throw.
  // Safe from any thread.
  bool offer(std::function<void()> task);

 private:
  void work();

  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> tasks_;
  bool ending_ = false;
  std::vector<std::thread> threads_;  // last: started once the rest is made
};

}  // namespace indicizza::catalogo
