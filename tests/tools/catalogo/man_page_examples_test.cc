// The examples of catalogo(1) drawn from the demo catalogue, against what
// catalogo prints on that catalogue: the totals of verifica, and each
// command of the page's demo block with the lines it shows. A line the
// page cuts short with " ..." stands for every line that begins as it does.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One command of the page with the lines the page shows it printing.
struct PageExample {
  std::vector<std::string> arguments;
  std::vector<std::string> lines;
};

// The page's example of verifica's totals, bold in the text, as a command
// that prints that one line.
PageExample verifyExample(const std::string& page) {
  const std::size_t start = page.find("*Record: ");
  if (start == std::string::npos) return {};
  const std::size_t end = page.find('*', start + 1);
  if (end == std::string::npos) return {};
  const std::string line = page.substr(start + 1, end - start - 1);
  if (line.find(", termini: ") == std::string::npos) return {};
  return {{"verifica"}, {line}};
}

// The commands of the page's block of demo searches: each "$ catalogo ..."
// line, and the lines up to the next command or the block's end.
std::vector<PageExample> demoBlockExamples(const std::string& page) {
  std::vector<PageExample> examples;
  const std::size_t intro = page.find("in the demo catalogue that *make demo*");
  if (intro == std::string::npos) return examples;
  const std::size_t open = page.find("```\n", intro);
  const std::size_t close = page.find("\n```", open + 4);
  if (open == std::string::npos || close == std::string::npos) return examples;
  for (const std::string& line : linesOf(page.substr(open + 4, close - open - 4))) {
    if (line.starts_with("$ catalogo ")) {
      std::vector<std::string> arguments;
      std::istringstream words(line.substr(11));
      for (std::string word; words >> word;) arguments.push_back(word);
      examples.push_back({arguments, {}});
    } else if (!examples.empty()) {
      examples.back().lines.push_back(line);
    }
  }
  return examples;
}

bool shows(const std::string& pageLine, const std::string& printed) {
  if (pageLine.ends_with(" ..."))
    return printed.starts_with(pageLine.substr(0, pageLine.size() - 4));
  return pageLine == printed;
}

TEST(ManPage, DemoExamplesAreWhatCatalogoPrintsOnTheDemoCatalogue) {
  const std::string page = testing::readFile(CATALOGO_MAN_PAGE_SOURCE);
  std::vector<PageExample> examples = demoBlockExamples(page);
  ASSERT_GE(examples.size(), 2u) << "catalogo.1.scd has no block of demo searches";
  const PageExample verify = verifyExample(page);
  ASSERT_FALSE(verify.arguments.empty()) << "catalogo.1.scd shows no totals of verifica";
  examples.push_back(verify);

  CatalogueDir dir;
  const std::filesystem::path samples = std::filesystem::path(SAMPLE_WORKS_TSV).parent_path();
  dir.stopWords(testing::readFile(samples / "noused.txt"));
  for (const char* file : {"sinonimi.txt", "etichette.txt"})
    testing::writeFile(dir / file, testing::readFile(samples / file));
  ASSERT_EQ(testing::runProgram(DEMO_CATALOGUE_EXECUTABLE, dir.path(),
                                {SAMPLE_WORKS_TSV, dir.path().string()})
                .exitStatus,
            0);
  ASSERT_EQ(dir.run().exitStatus, 0);

  for (const PageExample& example : examples) {
    std::string command = "catalogo";
    for (const std::string& argument : example.arguments) command += " " + argument;
    SCOPED_TRACE(command);
    const testing::ProgramRun run = runCatalogo(dir.path(), example.arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
    const std::vector<std::string> printed = linesOf(run.output);
    ASSERT_EQ(printed.size(), example.lines.size()) << run.output;
    for (std::size_t i = 0; i < printed.size(); ++i)
      EXPECT_TRUE(shows(example.lines[i], printed[i]))
          << "the page shows «" << example.lines[i] << "», catalogo prints «" << printed[i] << "»";
  }
}

}  // namespace
}  // namespace indicizza
