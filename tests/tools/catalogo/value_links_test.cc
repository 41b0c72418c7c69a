// The links the pages make from a record's values, to the other works of
// its composer (the record page) and to each facet value (the search page,
// whose facets come with the query that narrows to them), find at least the
// records they were made from. Walked for every record of the demonstration
// catalogue, and for records whose composer is named by no word the index
// holds (stop words alone, or a stop word and a number, which looks like a
// catalogue number): such a value gets no link rather than one that finds
// nothing.
#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;
using testing::ServeProcess;

// Composers (T1) and periods (T3) no index term finds with the demo's stop
// words (THE, OF, OP, NO are among them), after the demo's records.
const std::vector<std::pair<std::string, std::string>> kUnfindable = {
    {"THE", "The"}, {"op. 37", "Op. 37"}, {"Of The", "No 5"}, {"No 5", "Of"}};
constexpr int kFirstUnfindable = 5001;

// A value as a browser puts it in a query string.
std::string encoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

// A page's link back to text: %XX and + undone, HTML references undone.
std::string decoded(std::string link) {
  for (const auto& [reference, character] : std::vector<std::pair<std::string, std::string>>{
           {"&amp;", "&"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}}) {
    for (std::size_t at = link.find(reference); at != std::string::npos;
         at = link.find(reference, at + 1))
      link.replace(at, reference.size(), character);
  }
  std::string out;
  for (std::size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '+') {
      out += ' ';
    } else if (link[i] == '%' && i + 2 < link.size()) {
      out += static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += link[i];
    }
  }
  return out;
}

// The numbers of the records of a JSON page ("numero":N).
std::set<int> numbersIn(const std::string& json) {
  std::set<int> numbers;
  const std::string key = "{\"numero\":";
  for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1))
    numbers.insert(std::stoi(json.substr(at + key.size())));
  return numbers;
}

// The records `query` finds, its whole result set page by page.
std::set<int> found(const ServeProcess& server, const std::string& query) {
  std::set<int> all;
  for (int from = 1; from <= 1000; from += 100) {
    const auto page = numbersIn(
        server.request("/api/cerca?limite=100&da=" + std::to_string(from) + "&q=" + encoded(query))
            .body);
    all.insert(page.begin(), page.end());
    if (page.size() < 100) break;
  }
  return all;
}

// The demonstration catalogue, with the records of kUnfindable after it,
// indexed with the demo's stop words, synonyms and labels.
void makeCatalogue(CatalogueDir& dir, std::vector<int>& numbers) {
  const std::filesystem::path samples = std::filesystem::path(SAMPLE_WORKS_TSV).parent_path();
  for (const char* file : {"noused.txt", "sinonimi.txt", "etichette.txt"})
    std::filesystem::copy_file(samples / file, dir / file);
  ASSERT_EQ(testing::runProgram(DEMO_CATALOGUE_EXECUTABLE, dir.path(),
                                {SAMPLE_WORKS_TSV, dir.path().string()})
                .exitStatus,
            0);
  std::string tsv = runCatalogo(dir.path(), {"decifra"}).output;
  for (std::size_t i = 0; i < kUnfindable.size(); ++i) {
    tsv += std::to_string(kFirstUnfindable + static_cast<int>(i)) + "\tAR\t\t\t" +
           kUnfindable[i].first + "\tPiano\t" + kUnfindable[i].second +
           "\tSonata\t\t\t\t\t\t\t\t\n";
  }
  testing::writeFile(dir / "all.tsv", tsv);
  std::filesystem::remove(dir / "opere.ddb");
  ASSERT_EQ(runCatalogo(dir.path(), {"cifra", "all.tsv"}).exitStatus, 0);
  ASSERT_EQ(runCatalogo(dir.path(), {"crea-db"}).exitStatus, 0);
  ASSERT_EQ(dir.run().exitStatus, 0);
  for (std::size_t at = tsv.find('\n'); at != std::string::npos && at + 1 < tsv.size();
       at = tsv.find('\n', at + 1))
    numbers.push_back(std::stoi(tsv.substr(at + 1)));
}

TEST(ValueLinks, FindTheRecordsTheyWereMadeFrom) {
  CatalogueDir dir;
  std::vector<int> numbers;
  makeCatalogue(dir, numbers);
  ASSERT_GT(numbers.size(), 1000u);
  ServeProcess server(dir.path());

  // Each record's link to the other works of its composer.
  std::map<std::string, std::vector<int>> composerLinks;
  const std::string before = "<a href=\"../?q=";
  for (int number : numbers) {
    const std::string page = server.request("/record/" + std::to_string(number)).body;
    const std::size_t link = page.find("\">Altre opere di ");
    if (link == std::string::npos) continue;
    const std::size_t start = page.rfind(before, link) + before.size();
    composerLinks[decoded(page.substr(start, page.find_first_of("&\"", start) - start))].push_back(
        number);
  }
  EXPECT_GT(composerLinks.size(), 100u);
  std::size_t facetLinks = 0;
  for (const auto& [query, records] : composerLinks) {
    SCOPED_TRACE(query);
    const std::set<int> all = found(server, query);
    for (int number : records) EXPECT_TRUE(all.contains(number)) << number;
    // The facets of that search: each value's narrowing finds its records.
    const std::string facets =
        server.request("/api/cerca?limite=1&faccette=1&q=" + encoded(query)).body;
    const std::string key = "\"restringe\":\"";
    for (std::size_t at = facets.find(key); at != std::string::npos;
         at = facets.find(key, at + 1)) {
      std::string narrowing;
      for (std::size_t i = at + key.size(); i < facets.size() && facets[i] != '"'; ++i) {
        if (facets[i] == '\\') ++i;
        narrowing += facets[i];
      }
      const std::size_t count = facets.rfind("\"conteggio\":", at);
      ++facetLinks;
      EXPECT_GE(found(server, narrowing).size(),
                static_cast<std::size_t>(std::stoi(facets.substr(count + 12))))
          << narrowing;
    }
  }
  EXPECT_GT(facetLinks, 100u);
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace indicizza
