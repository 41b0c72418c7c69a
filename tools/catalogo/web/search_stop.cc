#include "catalogo/web/search_stop.h"

#include <poll.h>

namespace indicizza::catalogo {

bool peerHasLeft(int socket) {
  pollfd watched{socket, POLLRDHUP, 0};
  if (::poll(&watched, 1, 0) <= 0) return false;
  return (watched.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SearchStop::operator()() {
  if (deadlinePassed_ || clientLeft_) return true;
  if (meanwhile_) meanwhile_();
  if (Clock::now() >= deadline_) {
    deadlinePassed_ = true;
  } else if (clientSocket_ >= 0 && peerHasLeft(clientSocket_)) {
    clientLeft_ = true;
  }
  return deadlinePassed_ || clientLeft_;
}

}  // namespace indicizza::catalogo
