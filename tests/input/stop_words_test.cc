#include "input/stop_words.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/console.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

using Words = std::set<std::string, std::less<>>;

struct LineRuleCase {
  const char* name;
  std::string content;
  Words expected;
  friend void PrintTo(const LineRuleCase& c, std::ostream* os) { *os << c.name; }
};

class LineRules : public ::testing::TestWithParam<LineRuleCase> {};

TEST_P(LineRules, GiveTheExpectedSet) {
  EXPECT_EQ(parseStopWords(GetParam().content).words(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    StopWords, LineRules,
    ::testing::Values(
        LineRuleCase{"FinalLineFeedAddsEmpty", "IL\nLA\nDI\n", {"", "DI", "IL", "LA"}},
        LineRuleCase{"NoFinalLineFeed", "IL\nLA", {"IL", "LA"}},
        LineRuleCase{"EmptyFileGivesEmptyString", "", {""}},
        LineRuleCase{"CrLfSameAsLf", "IL\r\nLA\r\nDI\r\n", {"", "DI", "IL", "LA"}},
        LineRuleCase{"LoneCrIsPartOfWord", "A\rB\nC\r", {"A\rB", "C\r"}},
        LineRuleCase{"CrCrLfKeepsOneCr", "IL\r\r\n", {"IL\r", ""}},
        LineRuleCase{"BlanksKept", "DI \n DI\n", {"DI ", " DI", ""}},
        LineRuleCase{"CaseKept", "il\nIL", {"il", "IL"}},
        LineRuleCase{"DuplicatesCollapse", "IL\nIL\nIL", {"IL"}},
        LineRuleCase{"CtrlZEndsInput",
                     "IL\nLA\x1A"
                     "DI\nXX\n",
                     {"IL", "LA"}},
        LineRuleCase{"CtrlZRightAfterLineFeed", "IL\n\x1A", {"IL", ""}},
        LineRuleCase{"ZeroByteEndsWord", std::string("AB\0CD\nEF", 8), {"AB", "EF"}},
        LineRuleCase{"ZeroByteFirstGivesEmpty", std::string("\0X\nEF", 5), {"", "EF"}},
        LineRuleCase{"EmptyLinesGiveEmptyString", "\n\nA", {"", "A"}},
        LineRuleCase{"HighBytesKept", "PERCH\xC9\n", {"PERCH\xC9", ""}},
        LineRuleCase{
            "LongLineTakenWhole", std::string(300, 'X') + "\nY", {std::string(300, 'X'), "Y"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StopWordSet, ComparesExactBytes) {
  const StopWordSet set = parseStopWords("DI\nPERCH\xC9");
  EXPECT_TRUE(set.contains("DI"));
  EXPECT_FALSE(set.contains("DI "));
  EXPECT_FALSE(set.contains("di"));
  EXPECT_TRUE(set.contains("PERCH\xC9"));
  EXPECT_FALSE(set.contains("PERCH\xE9"));
}

// The set turns words away by their length and first byte before it looks
// them up: words at the edges of both masks are still found, and only they.
TEST(StopWordSet, FindsWordsAtTheEdgesOfItsQuickTests) {
  const std::string len62(62, 'L');
  const std::string len63(63, 'M');
  const std::string len100(100, 'N');
  const StopWordSet set =
      parseStopWords("A\n?Q\n@Q\n\x7FQ\n\x80Q\n\xFFQ\n" + len62 + "\n" + len63 + "\n" + len100);
  struct Case {
    std::string word;
    bool held;
  };
  const Case cases[] = {
      {"A", true},
      {"B", false},
      {"?Q", true},
      {"@Q", true},
      {"\x7FQ", true},
      {"\x80Q", true},
      {"\xFFQ", true},
      {"\xFEQ", false},
      {"AQ", false},
      {len62, true},
      {len63, true},
      {len100, true},
      {std::string(64, 'M'), false},
      {std::string(99, 'N'), false},
      {std::string(61, 'L'), false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(set.contains(c.word), c.held) << c.word.size() << " bytes";
  }
}

TEST(LoadStopWords, ReadsTheFileInBinary) {
  testing::ScratchDir dir;
  testing::writeFile(dir / "noused.txt", std::string("IL\r\nL\0A\r\nDI\x1AZZ", 14));
  EXPECT_EQ(loadStopWords(dir / "noused.txt").words(), (Words{"IL", "L", "DI"}));
}

// What the silent core says of a file it can't use, and that the phase
// step stops on it.
struct FileFailureCase {
  const char* name;
  const char* path;  // in the scratch folder, or absolute
  Status::Code expected;
};

class StopWordFileFailures : public ::testing::TestWithParam<FileFailureCase> {};

TEST_P(StopWordFileFailures, AreToldApart) {
  testing::ScratchDir dir;
  const std::filesystem::path path = dir / GetParam().path;
  StopWordSet set = parseStopWords("IL");
  EXPECT_EQ(tryLoadStopWords(path, set).code(), GetParam().expected);
  EXPECT_EQ(set.words(), (Words{"IL"})) << "the set is left as it was";
  EXPECT_THROW(loadStopWords(path), FatalStop);
}

INSTANTIATE_TEST_SUITE_P(
    LoadStopWords, StopWordFileFailures,
    ::testing::Values(FileFailureCase{"Missing", "noused.txt", Status::Code::kCannotOpen},
                      FileFailureCase{"Directory", ".", Status::Code::kNotRegular},
                      // Opens, but every read from its start fails.
                      FileFailureCase{"Unreadable", "/proc/self/mem", Status::Code::kReadFailed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
