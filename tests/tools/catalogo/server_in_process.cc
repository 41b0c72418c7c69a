#include "tools/catalogo/server_in_process.h"

#include <vector>

#include "catalogo/web/listen_address.h"
#include "tools/catalogo/raw_connection.h"

namespace indicizza::testing {

ServerInProcess::ServerInProcess(const catalogo::ServerSettings& settings)
    : server_([this](const std::string& line) { keep(line); }, settings) {
  const catalogo::ListenAddressParse loopback = catalogo::parseListenAddress("127.0.0.1");
  port_ = server_.bind(*loopback.address, 0).value_or(0);
  listener_ = std::thread([this] { server_.listen(); });
}

ServerInProcess::~ServerInProcess() {
  server_.stop();
  listener_.join();
}

std::string ServerInProcess::log() {
  const std::lock_guard lock(mutex_);
  return log_;
}

std::string ServerInProcess::get(const std::string& target, const std::string& source) const {
  RawConnection connection(port_, source);
  connection.send(getRequest(target, host(), "Connection: close\r\n"));
  const std::string answer = connection.receive(kPromptly);
  return connection.closedByServer() ? answer : "";
}

void ServerInProcess::keep(const std::string& line) {
  const std::lock_guard lock(mutex_);
  log_ += line + "\n";
}

int statusOf(const std::string& answer) {
  const std::vector<int> statuses = statusesIn(answer);
  return statuses.empty() ? 0 : statuses.front();
}

}  // namespace indicizza::testing
