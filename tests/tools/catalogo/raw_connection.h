// A bare TCP connection to a server of this machine, for the requests a
// polite HTTP client never makes: a head sent a line at a time, a flood of
// header lines, a body on a GET, a foreign Host, a client that leaves
// before its answer; and from another loopback address (127.0.0.2, ...),
// to stand for another client machine.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza::testing {

class RawConnection {
 public:
  // Connects to 127.0.0.1:`port` from `source`, an address of 127.0.0.0/8.
  // Throws std::runtime_error when it can't.
  explicit RawConnection(int port, const std::string& source = "127.0.0.1");
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends all of `bytes`; false when the server has closed the connection
  // (or reset it) first.
  bool send(std::string_view bytes);

  // What the server sends until it closes the connection or `wait` passes
  // with nothing more; closedByServer() then says which.
  std::string receive(std::chrono::milliseconds wait);
  bool closedByServer() const { return closed_; }

  // Whether, within `wait`, the server closes the connection having sent
  // nothing at all.
  bool closedWithoutAnswer(std::chrono::milliseconds wait);

 private:
  int socket_ = -1;
  bool closed_ = false;
};

// A GET of `target` for host `host`, as one head ending with an empty line.
std::string getRequest(std::string_view target, std::string_view host,
                       std::string_view moreHeaders = "");

// The status of each response found in `bytes` ("HTTP/1.1 200 ..."), in
// order.
std::vector<int> statusesIn(const std::string& bytes);

// The body of the first response in `bytes` (after its empty line).
std::string bodyIn(const std::string& bytes);

}  // namespace indicizza::testing
