#include "catalogo/web/server_log.h"

#include <unistd.h>

#include <ctime>
#include <mutex>
#include <string>

#include "catalogo/web/web_text.h"

namespace indicizza::catalogo {
namespace {

std::mutex logMutex;

}  // namespace

void logLine(std::string_view text) {
  char stamp[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  std::string line = stamp + logText(text) + '\n';
  const std::lock_guard lock(logMutex);
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t result = ::write(STDERR_FILENO, line.data() + written, line.size() - written);
    if (result <= 0) return;  // standard error gone: the service goes on without its log
    written += static_cast<std::size_t>(result);
  }
}

}  // namespace indicizza::catalogo
