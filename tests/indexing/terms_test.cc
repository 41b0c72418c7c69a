#include "indexing/terms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/plain_record.h"

namespace indicizza {
namespace {

using Terms = std::vector<std::string>;

Terms termsOf(const PlainRecord& record, const std::string& stopWords = "") {
  TermList list;
  extractTerms(DecodedRecord::fromPlain(record.bytes()), parseStopWords(stopWords), list);
  Terms terms;
  for (std::size_t i = 0; i < list.size(); ++i) terms.emplace_back(list[i]);
  return terms;
}

struct TermCase {
  const char* name;
  PlainRecord record;
  std::string stopWords;
  Terms expected;
  friend void PrintTo(const TermCase& c, std::ostream* os) { *os << c.name; }
};

class ExtractTerms : public ::testing::TestWithParam<TermCase> {};

TEST_P(ExtractTerms, GivesWordsThenCodes) {
  EXPECT_EQ(termsOf(GetParam().record, GetParam().stopWords), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Terms, ExtractTerms,
    ::testing::Values(
        TermCase{
            "ApostropheAndStopWords",
            PlainRecord().textField(1, "L'AMORE").textField(2, "e il").textField(3, "MOZART W.A."),
            "IL\nE\n",
            {"L", "AMORE", "MOZART", "W", "A"}},
        TermCase{"WordMetTwiceIsReturnedOnce",
                 PlainRecord().textField(1, "Sonata sonata").textField(7, "SONATA, Rondo"),
                 "",
                 {"SONATA", "RONDO"}},
        TermCase{"TokensWithDigitsDroppedWhole",
                 PlainRecord().textField(1, "OP27 1999 K.331 2nd"),
                 "",
                 {"K"}},
        TermCase{"AccentedBytesKeptAsTheyAre",
                 PlainRecord().textField(4, "perch\xE9 \xC9t\xE9"),
                 "",
                 {"PERCH\xE9", "\xC9T\xE9"}},
        TermCase{"EverySeparatorCuts",
                 PlainRecord().textField(4, "a b\tc\"d,e.f;g:h-i+j!k%l&m/n?o(p)q[r]s't"),
                 "",
                 {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J",
                  "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T"}},
        TermCase{"OtherPunctuationBelongsToWords",
                 PlainRecord().textField(1, "a*b c#d e_f g=h i\\j"),
                 "",
                 {"A*B", "C#D", "E_F", "G=H", "I\\J"}},
        TermCase{"StopWordsMatchOnlyUpperCase",
                 PlainRecord().textField(1, "di Di DI la"),
                 "di\nLA \n",
                 {"DI", "LA"}},
        TermCase{"FieldsAreWordsApartInFieldOrder",
                 PlainRecord()
                     .textField(1, std::string(29, ' ') + "A")
                     .textField(2, "B")
                     .textField(5, "QUINTO")
                     .textField(6, "SESTO")
                     .textField(7, "SETTIMO"),
                 "",
                 {"A", "B", "QUINTO", "SESTO", "SETTIMO"}},
        TermCase{"BlankRecordGivesNothing", PlainRecord(), "", {}},
        TermCase{"CodeCutAtFirstSeparator", PlainRecord().codeField(1, "123-456-78"), "", {"123"}},
        TermCase{"CodeOfThirteenDigits",
                 PlainRecord().codeField(2, "1234567890123"),
                 "",
                 {"1234567890123"}},
        TermCase{
            "CodeWithoutDigitGivesNothing", PlainRecord().codeField(3, "ABCDEFGHIJKLM"), "", {}},
        TermCase{"CodeStartingWithSeparatorTakenWhole",
                 PlainRecord().codeField(4, " 12-3"),
                 "",
                 {" 12-3        "}},
        TermCase{"CodeKeepsCaseAndIgnoresStopWords",
                 PlainRecord().codeField(1, "bwv1009"),
                 "bwv1009\nBWV1009\n",
                 {"bwv1009"}},
        TermCase{"CodeRepeatedInTwoFieldsTwice",
                 PlainRecord().codeField(1, "K331").codeField(4, "K331").textField(1, "Mozart"),
                 "",
                 {"MOZART", "K331", "K331"}},
        TermCase{"CodeAndWordNeverShareAKey",
                 PlainRecord().textField(1, "K331").codeField(1, "K331"),
                 "",
                 {"K331"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExtractTerms, TextEndingEarlyShortensTheFields) {
  PlainRecord record;
  record.textField(1, "PRIMA").codeField(1, "12 34").textField(7, "SETTIMO");
  record.bytesAt(203, std::string(1, '\0'));  // text ends inside code field 1
  EXPECT_EQ(termsOf(record), (Terms{"PRIMA", "12"}));
}

TEST(TermList, ReusedAcrossRecords) {
  TermList list;
  const StopWordSet none = parseStopWords("");
  extractTerms(DecodedRecord::fromPlain(PlainRecord().textField(1, "UNO DUE").bytes()), none, list);
  extractTerms(DecodedRecord::fromPlain(PlainRecord().textField(1, "TRE").bytes()), none, list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], "TRE");
}

}  // namespace
}  // namespace indicizza
