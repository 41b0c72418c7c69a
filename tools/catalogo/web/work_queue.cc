#include "catalogo/web/work_queue.h"

#include <algorithm>
#include <optional>

namespace indicizza::catalogo {

WorkQueue::WorkQueue(std::size_t threads, std::size_t perClient, std::size_t capacity)
    : perClient_(std::max<std::size_t>(perClient, 1)), capacity_(capacity) {
  for (std::size_t i = 0; i < std::max<std::size_t>(threads, 1); ++i)
    threads_.emplace_back([this] { work(); });
}

WorkQueue::~WorkQueue() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::map<std::string, WorkQueue::Client>::iterator WorkQueue::next() {
  auto best = clients_.end();
  for (auto it = clients_.begin(); it != clients_.end(); ++it) {
    const Client& client = it->second;
    if (client.waiting.empty() || client.running >= perClient_) continue;
    if (best == clients_.end() || client.running < best->second.running ||
        (client.running == best->second.running &&
         client.waiting.front().order < best->second.waiting.front().order)) {
      best = it;
    }
  }
  return best;
}

std::map<std::string, WorkQueue::Client>::iterator WorkQueue::mostWaiting() {
  auto most = clients_.end();
  for (auto it = clients_.begin(); it != clients_.end(); ++it) {
    if (most == clients_.end() || it->second.waiting.size() > most->second.waiting.size())
      most = it;
  }
  return most;
}

void WorkQueue::forgetIfIdle(std::map<std::string, Client>::iterator client) {
  if (client->second.waiting.empty() && client->second.running == 0) clients_.erase(client);
}

bool WorkQueue::offer(const std::string& client, Work work) {
  std::optional<Work> dropped;
  {
    const std::lock_guard lock(mutex_);
    if (ending_) return false;
    if (waiting_ >= capacity_) {
      const auto mine = clients_.find(client);
      const std::size_t waitingOfMine = mine == clients_.end() ? 0 : mine->second.waiting.size();
      const auto most = mostWaiting();
      if (most == clients_.end() || most->second.waiting.size() <= waitingOfMine + 1) return false;
      dropped = std::move(most->second.waiting.back().work);
      most->second.waiting.pop_back();
      --waiting_;
    }
    clients_[client].waiting.push_back({arrivals_++, std::move(work)});
    ++waiting_;
  }
  changed_.notify_one();
  if (dropped) dropped->refuse();
  return true;
}

void WorkQueue::work() {
  for (;;) {
    std::function<void()> task;
    std::map<std::string, Client>::iterator client;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock,
                    [this] { return next() != clients_.end() || (ending_ && waiting_ == 0); });
      client = next();
      if (client == clients_.end()) return;  // ending, and nothing left to run
      task = std::move(client->second.waiting.front().work.run);
      client->second.waiting.pop_front();
      --waiting_;
      ++client->second.running;
    }
    task();
    {
      const std::lock_guard lock(mutex_);
      --client->second.running;
      forgetIfIdle(client);
    }
    // A thread may now take work of this address, or end.
    changed_.notify_all();
  }
}

}  // namespace indicizza::catalogo
