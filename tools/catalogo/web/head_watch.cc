#include "catalogo/web/head_watch.h"

#include <sys/socket.h>

namespace indicizza::catalogo {

HeadWatch::HeadWatch(std::chrono::milliseconds allowed)
    : allowed_(allowed), thread_([this] { watch(); }) {}

HeadWatch::~HeadWatch() {
  {
    const std::lock_guard lock(mutex_);
    end_ = true;
  }
  ending_.notify_all();
  thread_.join();
}

void HeadWatch::opened(const void* connection, int socket) {
  const std::lock_guard lock(mutex_);
  connections_[connection] = {socket, true, false, Clock::now()};
}

void HeadWatch::headReceived(const void* connection) {
  const std::lock_guard lock(mutex_);
  const auto found = connections_.find(connection);
  if (found != connections_.end()) found->second.awaitingHead = false;
}

void HeadWatch::answered(const void* connection) {
  const std::lock_guard lock(mutex_);
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return;
  found->second.awaitingHead = true;
  found->second.since = Clock::now();
}

void HeadWatch::closed(const void* connection) {
  const std::lock_guard lock(mutex_);
  connections_.erase(connection);
}

void HeadWatch::watch() {
  std::unique_lock lock(mutex_);
  while (!ending_.wait_for(lock, kHeadWatchInterval, [this] { return end_; })) cutOverdue();
}

// Called with the lock held. The library sees the socket shut down as the
// client's hang-up, and closes the connection itself.
void HeadWatch::cutOverdue() {
  const Clock::time_point now = Clock::now();
  for (auto& [connection, watched] : connections_) {
    if (!watched.awaitingHead || watched.cut || now - watched.since < allowed_) continue;
    ::shutdown(watched.socket, SHUT_RDWR);
    watched.cut = true;
  }
}

}  // namespace indicizza::catalogo
