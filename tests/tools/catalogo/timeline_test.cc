// Year ranges and the timeline, end to end on a catalogue made for them:
// catalogo cerca keeps the records whose year lies in a range (read from
// the field's bytes, bounds included, partial results too), and the search
// page of catalogo servi draws the results by decade with their counts as
// text, each bar a link that narrows the search to its years.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;
using testing::ServeProcess;

// A work: composer, title, the year field C2 and the date text T5.
struct Dated {
  const char* composer;
  const char* title;
  const char* year;
  const char* date = "";
};

// Records 1-9, in order. Bach's years: 1720, 1729, 1730, 1719, none (but
// "c. 1725" in T5), 1725 after a longer number, 1722 after a number out
// of range.
const std::vector<Dated> kWorks = {
    {"J. S. Bach", "Sonata", "1720", "1720"}, {"J. S. Bach", "Partita", "1729"},
    {"J. S. Bach", "Suite", "1730"},          {"J. S. Bach", "Sonata", "1719"},
    {"J. S. Bach", "Fuga", "", "c. 1725"},    {"J. S. Bach", "Toccata", "12345 1725"},
    {"J. S. Bach", "Aria", "0999/1722"},      {"G. F. Handel", "Sonata", "1724"},
    {"W. A. Mozart", "Sonata", "1785"},
};

class YearCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new CatalogueDir;
    std::vector<PlainRecord> records;
    for (std::size_t i = 0; i < kWorks.size(); ++i) {
      records.push_back(PlainRecord()
                            .recordNumber(static_cast<RecordNumber>(i + 1))
                            .kindCode("AR")
                            .textField(1, kWorks[i].composer)
                            .textField(4, kWorks[i].title)
                            .textField(5, kWorks[i].date)
                            .codeField(2, kWorks[i].year));
    }
    dir_->prepare(records, "IN\n");
    testing::writeFile(*dir_ / "etichette.txt", "C2 Anno\nANNO C2\n");
    ASSERT_EQ(dir_->run().exitStatus, 0);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static testing::ProgramRun search(std::vector<std::string> arguments) {
    return testing::runCerca(dir_->path(), std::move(arguments));
  }
  static CatalogueDir* dir_;
};
CatalogueDir* YearCatalogue::dir_ = nullptr;

// The record numbers that start the record lines of `text` (cerca's text
// format: the number right-aligned first; the count lines start at the
// margin).
std::vector<int> numbersOfLines(const std::string& text) {
  std::vector<int> numbers;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line.front() != ' ') continue;
    std::istringstream fields(line);
    int number = 0;
    if (fields >> number) numbers.push_back(number);
  }
  return numbers;
}

TEST_F(YearCatalogue, YearRangesKeepTheRecordsOfTheirYears) {
  struct Case {
    std::string query;
    std::vector<int> numbers;  // in number order; partial results after the full ones
    bool partials = false;     // in the text format, partial results shown
  };
  const std::vector<Case> cases = {
      {"bach C2:1720..1729", {1, 2, 6, 7}},
      {"bach c2:1720..1720", {1}},
      {"bach -C2:1720..1729", {3, 4, 5}},
      {"bach T5:1700..1799", {1, 5}},
      {"(sonata OR partita) C2:1720..1729", {1, 2, 8}},
      {"bach C2:1720..1729 C2:1725..1799", {2, 6}},
      {"bach (sonata C2:1720..1729)", {1}},
      {"bach (sonata OR partita) -T5:1720..1720", {2, 4}},
      // No record has both words: the partial results are in the range too.
      {"bach handel C2:1720..1729", {1, 2, 6, 7, 8}, true},
  };
  for (const Case& c : cases) {
    const auto run =
        search({"--ordina", "numero", "--formato", c.partials ? "testo" : "tsv", c.query});
    EXPECT_EQ(c.partials ? numbersOfLines(run.output) : testing::tsvListedNumbers(run.output),
              c.numbers)
        << c.query << "\n"
        << run.output;
    // 1: no full result.
    EXPECT_EQ(run.exitStatus, c.partials ? 1 : 0) << c.query << run.errorOutput;
  }
}

TEST_F(YearCatalogue, CountsReadTheRecordsAndARangeAloneIsRefused) {
  // The index holds no years: the count is that of the records in range.
  const auto counted = search({"--conta", "bach C2:1720..1729"});
  EXPECT_EQ(counted.output, "4\n") << counted.errorOutput;
  const auto alone = search({"C2:1720..1729"});
  EXPECT_EQ(alone.exitStatus, 2);
  EXPECT_NE(alone.errorOutput.find("un intervallo di anni restringe"), std::string::npos)
      << alone.errorOutput;
}

// The href of the bar whose accessible name (its title) is `name`, as a
// target.
std::string barTarget(const std::string& page, const std::string& name) {
  const std::size_t label = page.find("<title>" + name + "</title>");
  const std::size_t href = page.rfind("<a class=\"anno\" href=\"", label);
  if (label == std::string::npos || href == std::string::npos) return "";
  const std::size_t start = href + std::string("<a class=\"anno\" href=\"").size();
  std::string target = page.substr(start, page.find('"', start) - start);
  for (std::size_t at = target.find("&amp;"); at != std::string::npos; at = target.find("&amp;"))
    target.replace(at, 5, "&");
  return "/" + target.substr(target.find('?'));
}

TEST_F(YearCatalogue, PageDrawsTheDecadesAndABarNarrowsToItsYears) {
  ServeProcess server(dir_->path());
  const testing::HttpAnswer page = server.request("/?q=bach");
  ASSERT_EQ(page.status, 200);
  for (const std::string part : {
           "<h3>Per decennio: C2 (Anno)</h3>",
           "<svg class=\"anni\" viewBox=\"0 0 200 54\" role=\"group\"",
           "\"><title>1710-1719: 1 risultato</title><text x=\"0\" y=\"13\">1710-1719</text>",
           "<title>1720-1729: 4 risultati</title>",
           ">1730-1739</text>",
           "<p class=\"altri\">Senza anno: 1</p>",
       }) {
    EXPECT_NE(page.body.find(part), std::string::npos) << part << "\n" << page.body;
  }
  const std::string target = barTarget(page.body, "1720-1729: 4 risultati");
  EXPECT_EQ(target, "/?q=%28bach%29+C2%3A1720..1729");
  const testing::HttpAnswer narrowed = server.request(target);
  ASSERT_EQ(narrowed.status, 200);
  for (const std::string part :
       {">4 record trovati</p>", "href=\"record/1?", "href=\"record/2?", "href=\"record/6?",
        "href=\"record/7?", "<title>1720-1729: 4 risultati</title>"})
    EXPECT_NE(narrowed.body.find(part), std::string::npos) << part;
  for (const std::string part : {"href=\"record/3?", "href=\"record/4?", "1710-1719"})
    EXPECT_EQ(narrowed.body.find(part), std::string::npos) << part;
  // The narrowed page's bar replaces the range rather than adding one.
  EXPECT_EQ(barTarget(narrowed.body, "1720-1729: 4 risultati"), target);
  // The same term through /api/cerca.
  const testing::HttpAnswer api = server.request("/api/cerca?q=%28bach%29+C2%3A1720..1729");
  EXPECT_NE(api.body.find("\"totale\":4,"), std::string::npos) << api.body;
}

}  // namespace
}  // namespace indicizza
