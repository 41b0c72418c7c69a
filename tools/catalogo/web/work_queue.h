// A fixed set of threads that run work from a queue of bounded length, shared
// fairly between client addresses: the workers on which `catalogo servi`
// reads the catalogue, so that a search never holds up the thread that
// watches the connections, and one address's searches never hold up every
// other address's.
//
// Each piece of work comes with its client's address. A free thread takes,
// of the addresses with work waiting, the one with the fewest pieces of work
// under way (then the one waiting longest), and one address never has more
// than `perClient` under way, so some threads are always left for the
// others. When the queue is full, a newcomer from an address with fewer
// pieces waiting than the address with the most takes the place of that
// address's latest, which is refused.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace indicizza::catalogo {

// One piece of work: `run` on one of the threads, or, when it is dropped
// from the queue to make room for another address's, `refuse` (on the
// thread of the offer that dropped it). Neither may throw.
struct Work {
  std::function<void()> run;
  std::function<void()> refuse;
};

class WorkQueue {
 public:
  // Starts `threads` threads (at least one); at most `perClient` pieces of
  // one address run at once (at least one), and at most `capacity` wait.
  // The threads inherit the signal mask of the caller.
  WorkQueue(std::size_t threads, std::size_t perClient, std::size_t capacity);
  // Runs the work already queued, then joins the threads.
  ~WorkQueue();
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  // Queues `work` of the address `client` (its bytes: any form that is the
  // same for the same address); false, leaving it untaken, when the queue
  // is full of the work of addresses with no more waiting than `client`
  // would have, or when the queue is ending. Safe from any thread.
  bool offer(const std::string& client, Work work);

 private:
  struct Waiting {
    std::uint64_t order;  // of arrival, for the longest waiting first
    Work work;
  };
  struct Client {
    std::deque<Waiting> waiting;
    std::size_t running = 0;
  };

  void work();
  // The address whose work runs next, or clients_.end() when none may.
  std::map<std::string, Client>::iterator next();
  // The address with the most work waiting, or clients_.end().
  std::map<std::string, Client>::iterator mostWaiting();
  void forgetIfIdle(std::map<std::string, Client>::iterator client);

  const std::size_t perClient_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Client> clients_;  // those with work waiting or running
  std::size_t waiting_ = 0;
  std::uint64_t arrivals_ = 0;
  bool ending_ = false;
  std::vector<std::thread> threads_;  // last: started once the rest is made
};

}  // namespace indicizza::catalogo
