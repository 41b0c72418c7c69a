// The pages of catalogo servi as a person using a screen reader or the
// keyboard alone meets them, in headless chromium driven through its
// DevTools pipe by tests/tools/catalogo/browser/page_checks.js: axe-core
// finds no fault of impact serious or critical on any kind of page, and a
// search is done from the form to a record's page with no mouse. Skipped,
// saying why, where chromium or nodejs is missing or can't start, where
// axe-core (a pinned version from the npm registry, cached in the build
// folder) can't be fetched, or where the browser was left out (make test
// BROWSER=no); never failed for the environment's sake.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>

#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/headless_chromium.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::ChromiumStart;
using testing::ProgramRun;

// A kind of page the server serves, an address that leads to it, and
// what on the page shows that it is that kind.
struct ServedPage {
  const char* name;
  const char* target;
  const char* marker;
};

constexpr ServedPage kServedPages[] = {
    // The form alone; its query help, folded under it, is opened for the check.
    {"form", "/", "<details class=\"sintassi\">"},
    // Results with the facets beside them, the marked words, the downloads.
    {"results", "/?q=bach+sonata", "<aside class=\"faccette\""},
    // The second page of many, with the links between the pages.
    {"later-page", "/?q=sonata&da=21", "<span aria-current=\"page\">2</span>"},
    // A misspelt word's correction noted above the results.
    {"corrected", "/?q=beethovan", "(nessun risultato per «beethovan»)"},
    // Nothing found, with what to try instead.
    {"nothing-found", "/?q=zzqqxx", "<div class=\"consigli\">"},
    // A refused search: the form with the reason, as a query too broad for
    // the index's limits gets it too (an unclosed quote is refused on any
    // catalogue).
    {"refused", "/?q=%22bach", "<p class=\"errore\">"},
    // A record, reached from a search, with its folded fields and terms.
    {"record", "/record/93?q=bach+sonata", "<details class=\"indice\">"},
    // An error page: no such page.
    {"not-found", "/nessuna-pagina", "<h1>Errore 404: Pagina inesistente</h1>"},
};

// Lines "NAME: FOUND" of page_checks.js's axe command, by name.
std::map<std::string, std::string> findingsByPage(const std::string& output) {
  std::map<std::string, std::string> findings;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) findings[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return findings;
}

// The demo catalogue served, for the checks to load its pages; the test is
// skipped, saying why, where the checks can't run.
class PagesInBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = testing::startChromium();
    if (!chromium_.skipReason.empty()) GTEST_SKIP() << chromium_.skipReason;
    if (const std::string reason = testing::pageChecksSkipReason(); !reason.empty())
      GTEST_SKIP() << reason;
    testing::indexDemoCatalogue(dir_);
    server_ = std::make_unique<testing::ServeProcess>(dir_.path());
  }

  ChromiumStart chromium_;
  testing::CatalogueDir dir_;
  std::unique_ptr<testing::ServeProcess> server_;
};

TEST_F(PagesInBrowser, NoKindOfPageHasASeriousAccessibilityFault) {
  std::vector<std::string> arguments{"axe", AXE_CORE_CACHE_DIR};
  for (const ServedPage& page : kServedPages) {
    EXPECT_NE(server_->request(page.target).body.find(page.marker), std::string::npos)
        << page.target << " is no longer a " << page.name << " page";
    arguments.push_back(std::string(page.name) + "=" + server_->url(page.target));
  }
  const ProgramRun run = testing::runPageChecks(chromium_, arguments);
  if (run.exitStatus == testing::kPageChecksSkipped) GTEST_SKIP() << run.output;
  ASSERT_EQ(run.exitStatus, 0) << run.errorOutput;
  const std::map<std::string, std::string> findings = findingsByPage(run.output);
  for (const ServedPage& page : kServedPages) {
    const auto found = findings.find(page.name);
    ASSERT_NE(found, findings.end()) << page.name << " was not checked:\n" << run.output;
    EXPECT_EQ(found->second, "none") << page.name << " page, " << page.target;
  }
}

// From the form, Tab to the search box, type, Enter; Tab to the timeline's
// first bar, Enter; Tab to the first result's link, Enter: the record's
// page, each control that took the focus showing it had it. The driver's
// lines name the step that failed.
TEST_F(PagesInBrowser, ASearchDoneWithTheKeyboardAlone) {
  const ProgramRun run = testing::runPageChecks(chromium_, {"keys", server_->url("/"), "sonata"});
  ASSERT_EQ(run.exitStatus, 0) << run.errorOutput;
  ASSERT_EQ(run.output.find("failed"), std::string::npos) << run.output;
  // The bar of the 17th century, then the best result of its years.
  EXPECT_NE(run.output.find("narrows the search to its years: ok ((sonata) C2:1600..1699)\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nrecord page: /record/244: SUONATA PRIMA, FVGA PLAGALE"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace indicizza
