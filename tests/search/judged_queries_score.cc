#include "search/judged_queries_score.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace indicizza::testing {
namespace {

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> columns;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    columns.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return columns;
    start = tab + 1;
  }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A positive decimal number filling the whole of `word`, or -1.
int wholeNumber(const std::string& word) {
  if (word.empty() || word.size() > 6 || !std::all_of(word.begin(), word.end(), isDigit)) {
    return -1;
  }
  const int number = std::stoi(word);
  return number > 0 ? number : -1;
}

// "3 5-9 12" as {3, 5, 6, 7, 8, 9, 12}; throws on anything else.
std::set<int> readNumbers(const std::string& text, int line) {
  std::set<int> numbers;
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    const std::size_t dash = word.find('-');
    const int first = wholeNumber(word.substr(0, dash));
    const int last = dash == std::string::npos ? first : wholeNumber(word.substr(dash + 1));
    if (first < 0 || last < first) {
      throw std::runtime_error("judged queries, line " + std::to_string(line) +
                               ": not a number or a range: '" + word + "'");
    }
    for (int n = first; n <= last; ++n) numbers.insert(n);
  }
  if (numbers.empty()) {
    throw std::runtime_error("judged queries, line " + std::to_string(line) + ": no numbers");
  }
  return numbers;
}

}  // namespace

std::vector<JudgedQuery> readJudgedQueries(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::vector<JudgedQuery> queries;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (text.empty() || text[0] == '#') continue;
    const std::vector<std::string> columns = splitTabs(text);
    if (columns.size() != 4) {
      throw std::runtime_error("judged queries, line " + std::to_string(line) +
                               ": 4 tab-separated columns expected, found " +
                               std::to_string(columns.size()));
    }
    JudgedQuery query{line, columns[0], columns[1], readNumbers(columns[2], line),
                      readNumbers(columns[3], line)};
    if (!std::includes(query.relevant.begin(), query.relevant.end(), query.best.begin(),
                       query.best.end())) {
      throw std::runtime_error("judged queries, line " + std::to_string(line) +
                               ": a best answer is not among the relevant ones");
    }
    queries.push_back(std::move(query));
  }
  return queries;
}

std::vector<int> listedNumbers(const std::string& textOutput) {
  // A record's line: its number right-aligned in kNumberWidth columns,
  // then two blanks. A count line ("2 record trovati") is not one.
  constexpr std::size_t kNumberWidth = 6;
  std::vector<int> numbers;
  std::istringstream lines(textOutput);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < kNumberWidth + 2 || line.compare(kNumberWidth, 2, "  ") != 0) continue;
    const std::size_t first = line.find_first_not_of(' ');
    if (first >= kNumberWidth) continue;
    bool digits = true;
    for (std::size_t i = first; i < kNumberWidth; ++i) digits = digits && isDigit(line[i]);
    if (digits) numbers.push_back(std::stoi(line.substr(first, kNumberWidth - first)));
  }
  return numbers;
}

QueryScore scoreQuery(const JudgedQuery& judged, const std::vector<int>& listed) {
  QueryScore score;
  score.relevantWanted = std::min(kFirstPage, judged.relevant.size());
  score.nothingFound = listed.empty();
  for (std::size_t i = 0; i < listed.size() && i < kFirstPage; ++i) {
    if (judged.relevant.contains(listed[i])) ++score.relevantFound;
    if (i < kBestWithin && judged.best.contains(listed[i])) score.bestInFirstThree = true;
  }
  return score;
}

SetScore scoreSet(const std::vector<QueryScore>& scores) {
  SetScore set;
  double precisionSum = 0;
  for (const QueryScore& score : scores) {
    precisionSum += score.precision();
    if (score.bestInFirstThree) ++set.bestInFirstThree;
    if (score.nothingFound) ++set.nothingFound;
  }
  set.queries = static_cast<int>(scores.size());
  set.precision = scores.empty() ? 0 : precisionSum / static_cast<double>(scores.size());
  return set;
}

std::string numberRuns(const std::set<int>& numbers) {
  std::string runs;
  for (auto it = numbers.begin(); it != numbers.end();) {
    const int first = *it;
    int last = first;
    while (++it != numbers.end() && *it == last + 1) last = *it;
    if (!runs.empty()) runs += ' ';
    runs += std::to_string(first);
    if (last != first) runs += '-' + std::to_string(last);
  }
  return runs;
}

std::string describeQuery(const JudgedQuery& judged, const std::vector<int>& listed,
                          const QueryScore& score) {
  std::string first;
  std::set<int> onFirstPage;
  for (std::size_t i = 0; i < listed.size() && i < kFirstPage; ++i) {
    if (!first.empty()) first += ' ';
    first += std::to_string(listed[i]);
    if (judged.best.contains(listed[i])) {
      first += '*';
    } else if (judged.relevant.contains(listed[i])) {
      first += '+';
    }
    onFirstPage.insert(listed[i]);
  }
  char precision[16];
  std::snprintf(precision, sizeof precision, "%.2f", score.precision());
  std::string line = "[" + judged.kind + "] \"" + judged.text + "\": precision " + precision +
                     " (" + std::to_string(score.relevantFound) + "/" +
                     std::to_string(score.relevantWanted) +
                     "), best in first 3: " + (score.bestInFirstThree ? "yes" : "no") +
                     "; first 10: " + (first.empty() ? "nothing" : first);
  // What cost points, and only that: the best answers when none came in
  // time, the relevant records when the first page had room for more.
  if (!score.bestInFirstThree) {
    std::set<int> bestElsewhere;
    for (const int n : judged.best) {
      if (!onFirstPage.contains(n)) bestElsewhere.insert(n);
    }
    if (!bestElsewhere.empty()) line += "; best not in the first 10: " + numberRuns(bestElsewhere);
  }
  if (score.relevantFound < score.relevantWanted) {
    std::set<int> missed;
    for (const int n : judged.relevant) {
      if (!onFirstPage.contains(n) && !(judged.best.contains(n) && !score.bestInFirstThree)) {
        missed.insert(n);
      }
    }
    if (!missed.empty()) line += "; other relevant not in the first 10: " + numberRuns(missed);
  }
  return line;
}

}  // namespace indicizza::testing
