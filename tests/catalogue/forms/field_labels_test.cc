// The labels file: what it gives, which lines it refuses and how it says
// so, and the labels without it.
#include "catalogue/forms/field_labels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "catalogue/files/label_file.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct LabelCase {
  const char* name;
  std::string file;
  std::string errorPart;  // of the Status text; "" when the file is good
  std::string name1;      // a field or kind code looked up (Latin-1) ...
  std::string label1;     // ... and its label
};

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, AreReadOrTheBadLineIsNamed) {
  std::istringstream in(GetParam().file);
  FieldLabels labels;
  const Status status = readFieldLabels(in, labels);
  if (!GetParam().errorPart.empty()) {
    EXPECT_EQ(status.code(), Status::Code::kReadFailed);
    EXPECT_NE(status.text().find(GetParam().errorPart), std::string::npos) << status.text();
    return;
  }
  ASSERT_TRUE(status.ok()) << status.text();
  const std::string& name = GetParam().name1;
  const bool field =
      name.size() == 2 && (name[0] == 'T' || name[0] == 'C') && name[1] >= '1' && name[1] <= '7';
  const std::string found = name == kYearFieldLine ? labels.yearField
                            : field                ? fieldLabel(labels, name)
                                                   : kindLabel(labels, name);
  EXPECT_EQ(found, GetParam().label1);
}

const std::string kGood =
    "\xEF\xBB\xBF# the works\n"
    "\n"
    "T1 Compositore\n"
    "  T4\tTitolo dell'opera  \r\n"
    "   # indented comment\n"
    "VO Voce o coro\n"
    "AR Archi";  // no line feed at the end

INSTANTIATE_TEST_SUITE_P(
    Files, Labels,
    ::testing::Values(
        LabelCase{"AfterByteOrderMark", kGood, "", "T1", "Compositore"},
        LabelCase{"InnerBlanksKeptOuterDropped", kGood, "", "T4", "Titolo dell'opera"},
        LabelCase{"LastLineWithoutLineFeed", kGood, "", "AR", "Archi"},
        LabelCase{"LowerCaseMarkTakesCapitalsLabel", kGood, "", "aR", "Archi"},
        LabelCase{"UnlabelledFieldIsItsName", kGood, "", "C1", "C1"},
        LabelCase{"UnlabelledKindIsItself", kGood, "", "p\xE9", "p\xC3\xA9"},
        LabelCase{"TypographicDashTaken", "T2 Organico \xE2\x80\x94 voci\n", "", "T2",
                  "Organico - voci"},
        LabelCase{"AccentedLabel", "T3 Et\xC3\xA0\n", "", "T3", "Et\xC3\xA0"},
        LabelCase{"NoLabel", "T1 Compositore\nT2   \n", "riga 2: manca l'etichetta", "", ""},
        LabelCase{"UnknownField", "# x\nT8 Altro\n", "riga 2: «T8» non è un campo", "", ""},
        LabelCase{"LongKindCode", "VOC Voce\n", "riga 1: «VOC» non è un campo", "", ""},
        LabelCase{"GivenTwice", "T1 A\n\nT1 B\n", "riga 3: «T1» ha già un'etichetta alla riga 1",
                  "", ""},
        LabelCase{"BeyondLatin1", "T1 \xE4\xBD\x9C\n", "etichette.txt, riga 1:", "", ""},
        LabelCase{"TooLong", "T1 A\nT2 " + std::string(kLongestLabelLine, 'x') + "\nT3 C\n",
                  "riga 2: più di 256 byte", "", ""},
        LabelCase{"YearFieldNamed", "C2 Anno\nANNO  C2\n", "", "ANNO", "C2"},
        LabelCase{"YearLineLeavesTheLabels", "C2 Anno\nANNO C2\n", "", "C2", "Anno"},
        LabelCase{"NoYearLineNoYearField", kGood, "", "ANNO", ""},
        LabelCase{"YearFieldIsNoField", "ANNO Anno\n", "riga 1: «Anno» non è un campo", "", ""},
        LabelCase{"YearFieldIsNoLayoutField", "ANNO KindCode\n", "riga 1: «KindCode» non è", "",
                  ""},
        LabelCase{"YearFieldGivenTwice", "ANNO C2\nANNO T5\n",
                  "riga 2: «ANNO» ha già un'etichetta alla riga 1", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelFile, AbsentGivesTheNamesAndADirectoryIsRefused) {
  testing::ScratchDir dir;
  FieldLabels labels;
  labels.fields["T1"] = "left over";
  ASSERT_TRUE(loadFieldLabels(labels, dir.path()).ok());
  EXPECT_EQ(fieldLabel(labels, "T1"), "T1");

  std::filesystem::create_directory(dir / kLabelFileName);
  const Status status = loadFieldLabels(labels, dir.path());
  EXPECT_EQ(status.code(), Status::Code::kCannotOpen);
  EXPECT_EQ(status.text(), "etichette.txt non è un file regolare");
}

TEST(LabelFile, SampleOfTheDemoIsGood) {
  FieldLabels labels;
  ASSERT_TRUE(loadFieldLabels(labels, INDICIZZA_SAMPLES_DIR).ok());
  EXPECT_EQ(fieldLabel(labels, "T1"), "Compositore");
  EXPECT_EQ(kindLabel(labels, "vO"), "Voce o coro");
  EXPECT_EQ(labels.kinds.size(), 8u);
}

}  // namespace
}  // namespace indicizza
