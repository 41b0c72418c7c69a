// The records a phrase is checked on: the index proposes them by the
// phrase's words, and a stop word (never indexed) must not narrow them even
// when folding makes it look like a word the index does hold (E and È). On
// a small catalogue built by the real indexer, so its stop words are those
// of noused.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "search/evaluation/query_run.h"
#include "search/query/query_parser.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

// \xC8 is È, \xC0 is À in Latin-1. The stop words: E, and the accented À
// (so that A, which is indexed, folds like a stop word).
constexpr const char* kStopWords = "E\n\xC0\nDI\n";

std::vector<PlainRecord> works() {
  const auto work = [](int number, const char* composer, const char* title) {
    return PlainRecord().recordNumber(number).textField(1, composer).textField(4, title);
  };
  return {
      work(1, "C. P. E. Bach", "Sonata"),
      work(2, "Anonimo", "\xC8 vero"),  // holds È, not the phrase
      work(3, "C. P. \xC8 Bach", "Sonata"),
      work(4, "G. Faure", "Sonate \xC0 Paris"),
      work(5, "G. Faure", "Sonate A Paris"),
      work(6, "A. Corelli", "Trio di Paris"),
  };
}

class PhraseSearch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<testing::CatalogueDir>();
    dir_->prepare(works(), kStopWords);
    ASSERT_EQ(dir_->run().exitStatus, 0);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override {
    inFolder_.emplace(dir_->path());
    ASSERT_TRUE(openSearchDatabases(databases_).ok());
  }

  std::set<int> found(const std::string& query, Matching matching) {
    const QueryParse parse = parseQuery(query);
    EXPECT_TRUE(parse.query) << parse.error;
    if (!parse.query) return {};
    SearchOptions options;
    options.matching = matching;
    SearchResult result;
    const Status searched = runQuery(databases_, parse.query->root, options, result);
    EXPECT_TRUE(searched.ok()) << searched.text();
    std::set<int> numbers;
    for (const DecodedRecord& record : result.page) numbers.insert(recordNumberOf(record));
    EXPECT_EQ(result.total, numbers.size());
    return numbers;
  }

  static std::unique_ptr<testing::CatalogueDir> dir_;
  std::optional<testing::InFolder> inFolder_;
  SearchDatabases databases_;
};

std::unique_ptr<testing::CatalogueDir> PhraseSearch::dir_;

struct PhraseCase {
  const char* name;
  std::string query;
  Matching matching;
  std::set<int> records;
};

class Phrases : public PhraseSearch, public ::testing::WithParamInterface<PhraseCase> {};

TEST_P(Phrases, FindEveryRecordHoldingThem) {
  EXPECT_EQ(found(GetParam().query, GetParam().matching), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Search, Phrases,
    ::testing::Values(
        // E is a stop word: the index key È, which E folds to, lists only
        // records 2 and 3, and must not narrow the phrase to them.
        PhraseCase{"StopWordFoldsLikeAKey", "\"C P E Bach\"", Matching::kFolded, {1, 3}},
        PhraseCase{
            "AccentedWordFoldsLikeAStopWord", "\"c p \xE8 bach\"", Matching::kFolded, {1, 3}},
        // The stop word is the accented one: A is indexed (record 5) but
        // record 4 holds À, which the index does not list.
        PhraseCase{
            "KeyFoldsLikeAnAccentedStopWord", "\"sonate a paris\"", Matching::kFolded, {4, 5}},
        // Exactly: E and È differ, and the lookup of E finds no key.
        PhraseCase{"ExactStopWord", "\"C P E Bach\"", Matching::kExact, {1}},
        PhraseCase{"ExactAccentedWord", "\"SONATE \xC0 PARIS\"", Matching::kExact, {4}},
        // Words the index holds under their own form still narrow, and a
        // stop word between them is checked on the record.
        PhraseCase{"StopWordBetweenIndexedWords", "\"trio di paris\"", Matching::kFolded, {6}},
        PhraseCase{"IndexedWordsOnly", "\"sonate a\"", Matching::kFolded, {4, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
