#include "tools/catalogo/serve_process.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace indicizza::testing {
namespace {

// The sanitizer build starts slowly.
constexpr auto kStartTimeLimit = std::chrono::seconds(60);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr int kRequestTimeoutSeconds = 60;

int exitStatusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ServeProcess::ServeProcess(const std::filesystem::path& directory,
                           const std::vector<std::string>& more) {
  const std::string logPath = (logDir_ / "servi.log").string();
  writeFile(logPath, "");  // there to be read before the server writes to it
  std::vector<std::string> arguments{CATALOGO_EXECUTABLE, "servi", "--porta", "0"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the tests
    const int devNull = open("/dev/null", O_RDONLY);
    const int logFile = open(logPath.c_str(), O_WRONLY | O_APPEND);
    if (devNull < 0 || logFile < 0 || dup2(devNull, STDIN_FILENO) < 0 ||
        dup2(logFile, STDOUT_FILENO) < 0 || dup2(logFile, STDERR_FILENO) < 0 ||
        chdir(directory.c_str()) != 0) {
      _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  try {
    port_ = waitUntilListening();
  } catch (...) {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);  // the destructor of an object never made does not run
      waitpid(pid_, nullptr, 0);
    }
    throw;
  }
}

int ServeProcess::waitUntilListening() {
  const std::string listening = "in ascolto su http://";
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string written = log();
    const std::size_t at = written.find(listening);
    const std::size_t end = at == std::string::npos ? at : written.find('/', at + listening.size());
    if (end != std::string::npos) return std::stoi(written.substr(written.rfind(':', end) + 1));
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("catalogo servi ended (" + std::to_string(exitStatusOf(status)) +
                               "): " + written);
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  throw std::runtime_error("catalogo servi did not say where it listens: " + log());
}

ServeProcess::~ServeProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string ServeProcess::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string ServeProcess::url(const std::string& target) const {
  return "http://" + host() + target;
}

HttpAnswer ServeProcess::request(const std::string& target, const std::string& method) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(kRequestTimeoutSeconds, 0);
  client.set_url_encode(false);  // targets are sent as written
  httplib::Request request;
  request.method = method;
  request.path = target;
  const httplib::Result result = client.send(request);
  if (!result) return {};
  return {result->status, result->get_header_value("Content-Type"),
          result->get_header_value("Content-Disposition"), result->body};
}

std::string ServeProcess::log() const { return readFile(logDir_ / "servi.log"); }

int ServeProcess::stop(int signal, int seconds) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;  // the destructor kills it
    std::this_thread::sleep_for(kPollInterval);
  }
  pid_ = -1;
  return exitStatusOf(status);
}

}  // namespace indicizza::testing
