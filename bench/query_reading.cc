// query-reading QUERIES [RUNS]
//
// Times the reading of queries as meant on the catalogue of the current
// folder: for each line of QUERIES (a query as typed), the parse, the
// rewrite of understandQuery and, when a word is found nowhere, the
// correction offered, but not the search itself; each query RUNS times (5
// by default), its median kept. Prints the median and the 90th percentile
// over the queries, in milliseconds: what reading a query adds to a search.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "search/evaluation/search_databases.h"
#include "search/query/query_parser.h"
#include "search/search.h"
#include "search/understanding/query_understanding.h"
#include "search/understanding/suggestions.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultRuns = 5;
constexpr double kPercentile90 = 0.9;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The milliseconds of one reading of `text`, or a negative number when it
// can't be read.
double readOnce(indicizza::SearchDatabases& databases, const indicizza::QueryVocabulary& vocabulary,
                const std::string& text) {
  const Clock::time_point start = Clock::now();
  const indicizza::QueryParse parse = indicizza::parseQuery(text);
  if (!parse.query) return -1;
  indicizza::UnderstoodQuery understood;
  if (!indicizza::understandQuery(*parse.query, databases.index, vocabulary, {}, understood).ok())
    return -1;
  if (!understood.unknownWords.empty()) {
    std::optional<indicizza::Suggestion> suggestion;
    if (!indicizza::suggestCorrection(text, parse.query->root, understood, databases.index, {},
                                      suggestion)
             .ok())
      return -1;
  }
  return millisecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "uso: query-reading RICERCHE [VOLTE]\n";
    return 2;
  }
  const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : kDefaultRuns;
  indicizza::SearchDatabases databases;
  if (const indicizza::Status opened = indicizza::openSearchDatabases(databases); !opened.ok()) {
    std::cerr << opened.text() << "\n";
    return 2;
  }
  indicizza::SearchSideFiles sideFiles;
  std::shared_ptr<const indicizza::QueryVocabulary> vocabulary;
  if (const indicizza::Status loaded = sideFiles.vocabulary(vocabulary); !loaded.ok()) {
    std::cerr << loaded.text() << "\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<double> medians;
  for (std::string text; std::getline(in, text);) {
    if (text.empty()) continue;
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) times.push_back(readOnce(databases, *vocabulary, text));
    std::sort(times.begin(), times.end());
    if (times.front() >= 0) medians.push_back(times[times.size() / 2]);
  }
  if (medians.empty()) {
    std::cerr << "nessuna ricerca letta da " << argv[1] << "\n";
    return 2;
  }
  std::sort(medians.begin(), medians.end());
  const auto at = [&](double fraction) {
    return medians[std::min(
        medians.size() - 1,
        static_cast<std::size_t>(fraction * static_cast<double>(medians.size())))];
  };
  std::printf("%zu queries: p50 %.2f ms, p90 %.2f ms, max %.2f ms\n", medians.size(), at(0.5),
              at(kPercentile90), medians.back());
  return 0;
}
