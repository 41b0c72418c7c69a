// The judged searches of tests/search/judged_queries.tsv and how a search's
// answers to them are scored: precision of the first ten, the best answer
// among the first three, and searches that find nothing.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace indicizza::testing {

// One judged search: what is typed, and the records a person wants from it.
struct JudgedQuery {
  int line = 0;      // its line in the judged file, for messages
  std::string kind;  // "composer", "misspelling", ... (for reading the scores)
  std::string text;  // given to catalogo cerca as one argument
  std::set<int> relevant;
  std::set<int> best;  // the best answers, each one also relevant
};

// The judged searches of `path`, in file order (the layout is described at
// the top of the file). Throws std::runtime_error naming the line of a line
// that is not four columns, a number list that does not read, or a best
// answer that is not relevant.
std::vector<JudgedQuery> readJudgedQueries(const std::filesystem::path& path);

// How many results the scores look at.
inline constexpr std::size_t kFirstPage = 10;
inline constexpr std::size_t kBestWithin = 3;

// The record numbers of the lines of `catalogo cerca` (its testo format),
// in order, as a person reads them: the full results, then the partial ones
// that fill the page; count lines and headings left out.
std::vector<int> listedNumbers(const std::string& textOutput);

// One search's answer against its judgment.
struct QueryScore {
  std::size_t relevantFound = 0;   // relevant records among the first kFirstPage listed
  std::size_t relevantWanted = 0;  // min(kFirstPage, number of relevant records)
  bool bestInFirstThree = false;   // a best answer among the first kBestWithin listed
  bool nothingFound = false;       // nothing listed at all
  double precision() const {
    return static_cast<double>(relevantFound) / static_cast<double>(relevantWanted);
  }
};

// Scores `listed` (the records a search listed, in its order) against
// `judged`.
QueryScore scoreQuery(const JudgedQuery& judged, const std::vector<int>& listed);

// The figures of a whole set: the mean of the searches' precisions, and
// counts of searches.
struct SetScore {
  double precision = 0;
  int bestInFirstThree = 0;
  int nothingFound = 0;
  int queries = 0;
};
SetScore scoreSet(const std::vector<QueryScore>& scores);

// One line about one search, for whoever improves the search: its kind and
// text, its scores, the first results (a relevant one marked +, a best one
// *), and the best and relevant records the first page missed.
std::string describeQuery(const JudgedQuery& judged, const std::vector<int>& listed,
                          const QueryScore& score);

// `numbers` (sorted) as runs: "3 5-9 12".
std::string numberRuns(const std::set<int>& numbers);

}  // namespace indicizza::testing
