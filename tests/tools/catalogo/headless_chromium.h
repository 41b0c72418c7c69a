// Headless chromium for the browser tests of catalogo servi: whether and how
// it starts here, and runs of it (or of the page checks of
// tests/tools/catalogo/browser/, which drive it) in a fresh profile folder
// that takes all it writes and goes with the run.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace indicizza::testing {

// How chromium starts on this system, or why it can't.
struct ChromiumStart {
  std::filesystem::path program;
  // Its sandbox needs user namespaces, which a chroot, a container or a
  // hardened kernel may not give, and it refuses to run as root. It only
  // ever loads our own page from a loopback address here, so it then runs
  // without the sandbox.
  bool withoutSandbox = false;
  std::string skipReason;  // empty when it starts
};

// $CHROMIUM or chromium on the PATH, tried on a blank page (again without
// the sandbox when that is what stopped it); skipReason says why it won't
// do: left out (INDICIZZA_BROWSER=no), not installed, or failing to start.
ChromiumStart startChromium();

// Runs headless chromium on `url` with `arguments` (--dump-dom, or
// --screenshot=FILE), in a fresh profile.
ProgramRun runChromium(const ChromiumStart& chromium, const std::vector<std::string>& arguments,
                       const std::string& url);

// Why the page checks (browser/page_checks.js) can't run here, or "" when
// they can: nodejs, which runs them, is missing.
std::string pageChecksSkipReason();

// The exit status of page_checks.js that means it could not run for the
// system's sake, its output then saying why ("skip: ...").
inline constexpr int kPageChecksSkipped = 77;

// Runs browser/page_checks.js with `arguments` (its command and operands),
// driving `chromium` headless in a fresh profile.
ProgramRun runPageChecks(const ChromiumStart& chromium, const std::vector<std::string>& arguments);

}  // namespace indicizza::testing
