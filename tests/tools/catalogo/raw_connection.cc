#include "tools/catalogo/raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace indicizza::testing {
namespace {

constexpr std::size_t kReadChunk = 65536;

sockaddr_in loopbackAddress(const std::string& text, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1)
    throw std::runtime_error("not an IPv4 address: " + text);
  return address;
}

}  // namespace

RawConnection::RawConnection(int port, const std::string& source) {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) throw std::runtime_error("socket failed");
  const sockaddr_in from = loopbackAddress(source, 0);
  const sockaddr_in to = loopbackAddress("127.0.0.1", port);
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    const int error = errno;
    ::close(socket_);
    throw std::runtime_error("cannot connect from " + source + ": errno " + std::to_string(error));
  }
}

RawConnection::~RawConnection() { ::close(socket_); }

bool RawConnection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      if (sent < 0 && errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::string RawConnection::receive(std::chrono::milliseconds wait) {
  std::string received;
  char chunk[kReadChunk];
  while (!closed_) {
    pollfd ready{socket_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) break;
    const ssize_t read = ::recv(socket_, chunk, sizeof chunk, 0);
    if (read <= 0) {
      closed_ = true;  // an orderly close, or a reset
    } else {
      received.append(chunk, static_cast<std::size_t>(read));
    }
  }
  return received;
}

bool RawConnection::closedWithoutAnswer(std::chrono::milliseconds wait) {
  return receive(wait).empty() && closed_;
}

std::string getRequest(std::string_view target, std::string_view host,
                       std::string_view moreHeaders) {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: " + std::string(host) + "\r\n" +
         std::string(moreHeaders) + "\r\n";
}

std::vector<int> statusesIn(const std::string& bytes) {
  const std::string start = "HTTP/1.1 ";
  std::vector<int> statuses;
  for (std::size_t at = bytes.find(start); at != std::string::npos;
       at = bytes.find(start, at + 1)) {
    statuses.push_back(std::stoi(bytes.substr(at + start.size(), 3)));
  }
  return statuses;
}

std::string bodyIn(const std::string& bytes) {
  const std::size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? "" : bytes.substr(end + 4);
}

}  // namespace indicizza::testing
