// make-catalogue N DIRECTORY [SEED]
//
// Writes a generated catalogue of N records into DIRECTORY: opere.cry
// (scrambled with this build's key) and noused.txt. The data database is
// not made here: benchmark runs start each from an empty one.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "generator/catalogue_generator.h"

int main(int argc, char** argv) {
  using namespace indicizza;
  if (argc < 3 || argc > 4) {
    std::cerr << "usage: make-catalogue N DIRECTORY [SEED]\n";
    return 2;
  }
  generator::CatalogueOptions options;
  options.records = std::stoull(argv[1]);
  if (argc == 4) options.seed = std::stoull(argv[3]);
  const std::string directory = argv[2];

  std::ofstream records(directory + "/opere.cry", std::ios::binary | std::ios::trunc);
  const ScrambleKey key = buildScrambleKey();
  generator::generateCatalogue(options, [&](const PlainRecord& record) {
    const auto bytes = record.scrambled(key);
    records.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
  });
  std::ofstream stopWords(directory + "/noused.txt", std::ios::binary | std::ios::trunc);
  stopWords << generator::generatedStopWords();
  if (!records.flush() || !stopWords.flush()) {
    std::cerr << "cannot write the catalogue in " << directory << "\n";
    return 1;
  }
  return 0;
}
