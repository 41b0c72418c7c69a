#include "tools/catalogo/headless_chromium.h"

#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "support/scratch_dir.h"

namespace indicizza::testing {
namespace {

// $`variable`, or the first program called `name` on the PATH.
std::optional<std::filesystem::path> findProgram(const std::string& name, const char* variable) {
  if (const char* named = std::getenv(variable); named && *named)
    return std::filesystem::path(named);
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::filesystem::path candidate =
        std::filesystem::path(folders.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

// The flags of every headless run: a fresh profile, nothing fetched from
// anywhere but the page.
std::vector<std::string> headlessFlags(const ChromiumStart& chromium,
                                       const std::filesystem::path& profile) {
  std::vector<std::string> flags{"--headless",
                                 "--disable-gpu",
                                 "--disable-quic",
                                 "--no-first-run",
                                 "--disable-background-networking",
                                 "--disable-component-update",
                                 "--disable-sync",
                                 "--hide-scrollbars",
                                 "--user-data-dir=" + profile.string()};
  if (chromium.withoutSandbox) flags.push_back("--no-sandbox");
  return flags;
}

// Runs `command` (a program and its arguments) in a fresh `profile`
// folder that takes all chromium writes: its --user-data-dir, and its home
// and XDG folders too, where it would otherwise keep crash reports and a
// certificate store whatever --user-data-dir says (~/.config/chromium/Crash
// Reports, ~/.pki).
ProgramRun runInProfile(const std::filesystem::path& profile,
                        const std::vector<std::string>& command) {
  std::vector<std::string> arguments{"HOME=" + profile.string(),
                                     "XDG_CONFIG_HOME=" + (profile / "config").string(),
                                     "XDG_CACHE_HOME=" + (profile / "cache").string(),
                                     "XDG_DATA_HOME=" + (profile / "data").string()};
  arguments.insert(arguments.end(), command.begin(), command.end());
  return runProgram("/usr/bin/env", profile, arguments);
}

// Whether `chromium` (as its sandbox says) loads a blank page.
ProgramRun tryChromium(const ChromiumStart& chromium) {
  return runChromium(chromium, {"--dump-dom"}, "about:blank");
}

// Why chromium could not start, from what it wrote: its first FATAL line
// (the cause; lines before it are often harmless complaints, such as no
// D-Bus), else its first line.
std::string reasonIn(const std::string& text) {
  std::size_t start = 0;
  if (const std::size_t fatal = text.find("FATAL"); fatal != std::string::npos) {
    const std::size_t lineEnd = text.rfind('\n', fatal);
    start = lineEnd == std::string::npos ? 0 : lineEnd + 1;
  }
  const std::string line = text.substr(start, text.find('\n', start) - start);
  return line.empty() ? "(it said nothing)" : line;
}

}  // namespace

ChromiumStart startChromium() {
  ChromiumStart start;
  if (const char* wanted = std::getenv("INDICIZZA_BROWSER");
      wanted && std::string(wanted) == "no") {
    start.skipReason = "left out by make test BROWSER=no";
    return start;
  }
  const std::optional<std::filesystem::path> chromium = findProgram("chromium", "CHROMIUM");
  if (!chromium) {
    start.skipReason =
        "chromium is not installed, so the browser test does not run (as root, "
        "scripts/install-deps.sh browser installs it; make test does so when run as root)";
    return start;
  }
  start.program = *chromium;
  start.withoutSandbox = geteuid() == 0;
  ProgramRun probe = tryChromium(start);
  if (probe.exitStatus != 0 && !start.withoutSandbox &&
      probe.errorOutput.find("sandbox") != std::string::npos) {
    start.withoutSandbox = true;
    probe = tryChromium(start);
  }
  if (probe.exitStatus != 0) {
    start.skipReason = "chromium is installed but does not start here (exit status " +
                       std::to_string(probe.exitStatus) + "): " + reasonIn(probe.errorOutput);
  }
  return start;
}

ProgramRun runChromium(const ChromiumStart& chromium, const std::vector<std::string>& arguments,
                       const std::string& url) {
  ScratchDir profile;
  std::vector<std::string> command{chromium.program.string()};
  for (const std::vector<std::string>& part :
       {headlessFlags(chromium, profile.path()), arguments, std::vector<std::string>{url}})
    command.insert(command.end(), part.begin(), part.end());
  return runInProfile(profile.path(), command);
}

std::string pageChecksSkipReason() {
  if (findProgram("node", "NODE")) return "";
  return "nodejs is not installed, so the page checks do not run (as root, "
         "scripts/install-deps.sh browser installs it; make test does so when run as root)";
}

ProgramRun runPageChecks(const ChromiumStart& chromium, const std::vector<std::string>& arguments) {
  ScratchDir profile;
  std::vector<std::string> command{findProgram("node", "NODE").value_or("node").string(),
                                   PAGE_CHECKS_SCRIPT};
  command.insert(command.end(), arguments.begin(), arguments.end());
  command.push_back("--");
  command.push_back(chromium.program.string());
  for (const std::string& flag : headlessFlags(chromium, profile.path())) command.push_back(flag);
  return runInProfile(profile.path(), command);
}

}  // namespace indicizza::testing
