// query-reading QUERIES [RUNS]
//
// Times the reading of queries as meant on the catalogue of the current
// folder: for each line of QUERIES (a query as typed), the parse and the
// rewrite of understandQuery (stop words, numbers, keys, the vocabulary,
// compounds, names, nicknames); then that and, when a word is found
// nowhere, the correction offered (timed on its own in make bench's
// "misspelled word" row); never the search itself. Each query RUNS times (5
// by default), its median kept. Prints the median and the 90th percentile
// over the queries, in milliseconds, of both.
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

// The milliseconds of one reading of `text`: the reading alone, then with
// the correction; negative when it can't be read.
struct ReadingTimes {
  double reading = -1;
  double withCorrection = -1;
};

ReadingTimes readOnce(indicizza::SearchDatabases& databases,
                      const indicizza::QueryVocabulary& vocabulary, const std::string& text) {
  const Clock::time_point start = Clock::now();
  const indicizza::QueryParse parse = indicizza::parseQuery(text);
  if (!parse.query) return {};
  indicizza::UnderstoodQuery understood;
  if (!indicizza::understandQuery(*parse.query, databases.index, vocabulary, {}, understood).ok())
    return {};
  ReadingTimes times;
  times.reading = millisecondsSince(start);
  if (!understood.unknownWords.empty()) {
    std::optional<indicizza::Suggestion> suggestion;
    if (!indicizza::suggestCorrection(text, parse.query->root, understood, databases.index, {},
                                      suggestion)
             .ok())
      return {};
  }
  times.withCorrection = millisecondsSince(start);
  return times;
}

// The median of `values` (not empty).
double medianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// "p50 A ms, p90 B ms, max C ms" of `medians` (not empty).
void printSpread(const char* what, std::vector<double> medians) {
  std::sort(medians.begin(), medians.end());
  const auto at = [&](double fraction) {
    return medians[std::min(
        medians.size() - 1,
        static_cast<std::size_t>(fraction * static_cast<double>(medians.size())))];
  };
  std::printf("%s, %zu queries: p50 %.2f ms, p90 %.2f ms, max %.2f ms\n", what, medians.size(),
              at(0.5), at(kPercentile90), medians.back());
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
  std::vector<double> readings, corrected;
  for (std::string text; std::getline(in, text);) {
    if (text.empty()) continue;
    std::vector<ReadingTimes> times;
    for (int r = 0; r < runs; ++r) times.push_back(readOnce(databases, *vocabulary, text));
    if (std::any_of(times.begin(), times.end(),
                    [](const ReadingTimes& t) { return t.withCorrection < 0; }))
      continue;
    std::vector<double> reading, withCorrection;
    for (const ReadingTimes& t : times) {
      reading.push_back(t.reading);
      withCorrection.push_back(t.withCorrection);
    }
    readings.push_back(medianOf(reading));
    corrected.push_back(medianOf(withCorrection));
  }
  if (readings.empty()) {
    std::cerr << "nessuna ricerca letta da " << argv[1] << "\n";
    return 2;
  }
  printSpread("reading", readings);
  printSpread("reading and correction", corrected);
  return 0;
}
