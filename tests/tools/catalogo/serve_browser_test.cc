// catalogo servi in a real browser (headless chromium): the page as the
// browser renders it, a query submitted through its form, a record link
// followed, and screenshots 1280 and 390 pixels wide kept in the build
// folder (build/screenshots/, copied to docs/ for the README). Skipped, saying why,
// where chromium is not installed, can't start here, or was left out
// (make test BROWSER=no); never failed for the environment's sake.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/headless_chromium.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::ChromiumStart;
using testing::ProgramRun;
using testing::runChromium;
using testing::ServeProcess;
using testing::startChromium;

// The value of attribute `name` in the first element `tag` of `dom` whose
// start tag holds `marker`, as chromium serializes it (double quotes).
std::string attributeOf(const std::string& dom, const std::string& tag, const std::string& marker,
                        const std::string& name) {
  for (std::size_t at = dom.find("<" + tag); at != std::string::npos;
       at = dom.find("<" + tag, at + 1)) {
    const std::string element = dom.substr(at, dom.find('>', at) - at);
    if (element.find(marker) == std::string::npos) continue;
    const std::size_t value = element.find(" " + name + "=\"");
    if (value == std::string::npos) return "(no " + name + ")";
    const std::size_t start = value + name.size() + 3;
    return element.substr(start, element.find('"', start) - start);
  }
  return "(no " + tag + ")";
}

// The text of the element with id `id`, up to its first child.
std::string textOfId(const std::string& dom, const std::string& id) {
  const std::size_t at = dom.find("id=\"" + id + "\"");
  if (at == std::string::npos) return "(no #" + id + ")";
  const std::size_t start = dom.find('>', at) + 1;
  return dom.substr(start, dom.find('<', start) - start);
}

TEST(ServeInBrowser, SearchThroughTheFormAndFollowARecordLink) {
  const ChromiumStart chromium = startChromium();
  if (!chromium.skipReason.empty()) GTEST_SKIP() << chromium.skipReason;
  CatalogueDir dir;
  testing::indexDemoCatalogue(dir);
  ServeProcess server(dir.path());

  // The form as the browser builds it: a GET of the page's own address
  // with the labelled search field.
  const ProgramRun home = runChromium(chromium, {"--dump-dom"}, server.url("/"));
  ASSERT_EQ(home.exitStatus, 0) << home.errorOutput;
  EXPECT_EQ(attributeOf(home.output, "form", "role=\"search\"", "method"), "get");
  const std::string action = attributeOf(home.output, "form", "role=\"search\"", "action");
  const std::string field = attributeOf(home.output, "input", "type=\"search\"", "name");
  const std::string fieldId = attributeOf(home.output, "input", "type=\"search\"", "id");
  EXPECT_EQ(attributeOf(home.output, "label", "", "for"), fieldId);
  ASSERT_EQ(action, "./");  // the page itself

  // Submitting it: what the browser loads for "bach sonata" typed in the
  // field (a form field's blanks become '+').
  const std::string submitted = server.url("/") + "?" + field + "=bach+sonata";
  const ProgramRun results = runChromium(chromium, {"--dump-dom"}, submitted);
  ASSERT_EQ(results.exitStatus, 0) << results.errorOutput;
  EXPECT_EQ(textOfId(results.output, "conteggio"),
            "4 record trovati, e 295 con alcune delle parole");
  EXPECT_EQ(attributeOf(results.output, "input", "type=\"search\"", "value"), "bach sonata");
  // Ranked: the organ trio sonata, with Sonata in its title and Bach in two
  // fields, before the lower-numbered records.
  const std::string first = attributeOf(results.output, "a", "href=\"record/", "href");
  EXPECT_EQ(first, "record/93?q=bach+sonata");
  // The words found are marked, and the facets stand beside the results.
  EXPECT_NE(results.output.find("Trio <mark>Sonata</mark> IV"), std::string::npos);
  EXPECT_NE(results.output.find("<aside class=\"faccette\""), std::string::npos);
  EXPECT_NE(results.output.find(">Per T1 (Compositore)</h3>"), std::string::npos);

  // A misspelt name: the correction runs, and the page says so.
  const ProgramRun corrected = runChromium(chromium, {"--dump-dom"}, server.url("/?q=beethovan"));
  EXPECT_NE(corrected.output.find("Risultati per «beethoven» (nessun risultato per «beethovan»)"),
            std::string::npos)
      << corrected.output;

  // The record's page, as the result's link leads to it, and back.
  const ProgramRun record = runChromium(chromium, {"--dump-dom"}, server.url("/" + first));
  EXPECT_NE(record.output.find("<h1>Trio Sonata IV in e minor</h1>"), std::string::npos)
      << record.output;
  EXPECT_NE(record.output.find("<p class=\"compositore\">"), std::string::npos);
  EXPECT_EQ(record.output.find("<details class=\"indice\" open"), std::string::npos);
  EXPECT_NE(record.output.find("href=\"../?q=bach+sonata\">« Torna ai risultati</a>"),
            std::string::npos);

  // The results of a search whose records span centuries, with their
  // timeline, as a desk screen and a phone show them, and a record's page
  // (the README's pictures are these).
  const std::string pictured = server.url("/") + "?" + field + "=sonata";
  const struct {
    const char* name;
    const char* size;
    std::string url;
  } pictures[] = {{"catalogo-servi.png", "1280,800", pictured},
                  {"catalogo-servi-390.png", "390,844", pictured},
                  {"catalogo-servi-record.png", "1280,800", server.url("/" + first)}};
  for (const auto& picture : pictures) {
    const std::filesystem::path screenshot = std::filesystem::path(SCREENSHOT_DIR) / picture.name;
    std::filesystem::create_directories(screenshot.parent_path());
    std::filesystem::remove(screenshot);
    const ProgramRun shot = runChromium(
        chromium,
        {"--screenshot=" + screenshot.string(), std::string("--window-size=") + picture.size},
        picture.url);
    ASSERT_EQ(shot.exitStatus, 0) << shot.errorOutput;
    EXPECT_EQ(testing::readFile(screenshot).substr(0, 8), "\x89PNG\r\n\x1A\n");
  }
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

// Chromium keeps everything in the profile folder a run gives it, which
// goes with the run: the user's home (here a scratch one, as HOME and the
// XDG folders say) is left as it was, empty.
TEST(ServeInBrowser, LeavesNothingInTheUsersHome) {
  const ChromiumStart chromium = startChromium();
  if (!chromium.skipReason.empty()) GTEST_SKIP() << chromium.skipReason;
  testing::ScratchDir home;
  const char* const variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};
  std::vector<std::optional<std::string>> before;
  for (const char* variable : variables) {
    const char* value = std::getenv(variable);
    before.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    setenv(variable, home.path().c_str(), 1);
  }
  const ProgramRun run = runChromium(chromium, {"--dump-dom"}, "about:blank");
  for (std::size_t i = 0; i < std::size(variables); ++i) {
    if (before[i])
      setenv(variables[i], before[i]->c_str(), 1);
    else
      unsetenv(variables[i]);
  }
  ASSERT_EQ(run.exitStatus, 0) << run.errorOutput;
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path()))
    left.push_back(entry.path().lexically_relative(home.path()).string());
  EXPECT_EQ(left, std::vector<std::string>{});
}

}  // namespace
}  // namespace indicizza
