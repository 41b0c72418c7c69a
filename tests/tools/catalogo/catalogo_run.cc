#include "tools/catalogo/catalogo_run.h"

#include <sstream>
#include <stdexcept>

namespace indicizza::testing {

ProgramRun runCatalogo(const std::filesystem::path& directory,
                       const std::vector<std::string>& arguments) {
  return runProgram(CATALOGO_EXECUTABLE, directory, arguments);
}

ProgramRun runCerca(const std::filesystem::path& directory, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "cerca");
  return runCatalogo(directory, arguments);
}

std::vector<PlainRecord> smallCatalogue() {
  return {
      PlainRecord()
          .recordNumber(1)
          .textField(1, "J. S. Bach")
          .textField(4, "Sonata in G")
          .codeField(1, "BWV1001")
          .kindCode("AR"),
      PlainRecord()
          .recordNumber(2)
          .textField(1, "J. S. Bach")
          .textField(4, "Partita")
          .kindCode("PF")
          .flags('1', '2'),
      PlainRecord()
          .recordNumber(3)
          .textField(1, "W. A. Mozart")
          .textField(4, "Sonata facile")
          .codeField(1, "K545")
          .kindCode("PF"),
      PlainRecord()
          .recordNumber(4)
          .textField(1, "A. Adam")
          .textField(4, "Minuit Chr\xE9tiens")
          .kindCode("VO"),
  };
}

void indexSmallCatalogue(CatalogueDir& dir) {
  dir.prepare(smallCatalogue(), kSmallCatalogueStopWords);
  if (dir.run().exitStatus != 0) throw std::runtime_error("the indexer failed");
}

void indexDemoCatalogue(CatalogueDir& dir) {
  const std::filesystem::path samples = std::filesystem::path(SAMPLE_WORKS_TSV).parent_path();
  dir.stopWords(readFile(samples / "noused.txt"));
  for (const char* file : {"sinonimi.txt", "etichette.txt"})
    writeFile(dir / file, readFile(samples / file));
  const ProgramRun made =
      runProgram(DEMO_CATALOGUE_EXECUTABLE, dir.path(), {SAMPLE_WORKS_TSV, dir.path().string()});
  if (made.exitStatus != 0)
    throw std::runtime_error("the demo-catalogue tool failed: " + made.errorOutput);
  if (dir.run().exitStatus != 0) throw std::runtime_error("the indexer failed");
}

std::vector<int> tsvListedNumbers(const std::string& tsv) {
  std::vector<int> numbers;
  std::istringstream lines(tsv);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) numbers.push_back(std::stoi(line));
  return numbers;
}

}  // namespace indicizza::testing
