// catalogo cifra on inputs out of proportion: lines longer than any record's,
// a header alone, more bad lines than are worth writing. Each is refused by
// name, at a cost in memory that does not grow with the input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::readFile;
using testing::runCatalogo;
using testing::writeFile;

// The longest line cifra reads (kLongestTsvLine), in bytes before its line feed.
constexpr std::size_t kLongestLine = 65536;

struct LongLineCase {
  const char* name;
  std::string content;  // of in.tsv
  std::string errorOutput;
};

class LongLines : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LongLines, AreNamedAndTheLinesAfterThemStillChecked) {
  CatalogueDir dir;
  writeFile(dir / "opere.cry", "earlier content");
  writeFile(dir / "in.tsv", GetParam().content);
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
  EXPECT_EQ(readFile(dir / "opere.cry"), "earlier content");
}

const std::string kHeader = "RecordNumber\tT1\n";
const std::string kNextLine = "4\t" + std::string(31, 'b') + "\n";
const std::string kNextError = "riga 4, campo T1: 31 byte, al massimo 30\n";

INSTANTIATE_TEST_SUITE_P(
    Catalogo, LongLines,
    ::testing::Values(
        LongLineCase{"AsLongAsAllowed",
                     kHeader + "1\tok\n2\t" + std::string(kLongestLine - 2, 'a') + "\n" + kNextLine,
                     "riga 3, campo T1: 65534 byte, al massimo 30\n" + kNextError +
                         "2 righe con errori (2 errori): opere.cry non modificato\n"},
        LongLineCase{"OneByteLonger",
                     kHeader + "1\tok\n2\t" + std::string(kLongestLine - 1, 'a') + "\n" + kNextLine,
                     "riga 3: più di 65536 byte\n" + kNextError +
                         "2 righe con errori (2 errori): opere.cry non modificato\n"},
        LongLineCase{"LastLineWithoutALineEnd",
                     kHeader + "1\tok\n2\t" + std::string(3 * kLongestLine, 'a'),
                     "riga 3: più di 65536 byte\n"
                     "1 riga con errori (1 errore): opere.cry non modificato\n"},
        LongLineCase{"Header", "RecordNumber\t" + std::string(kLongestLine, 'T') + "\n1\tok\n",
                     "intestazione: più di 65536 byte\n"
                     "Intestazione non valida: opere.cry non modificato\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Past the first hundred errors, the others are counted, not written.
TEST(Catalogo, ErrorsPastTheFirstHundredAreOnlyCounted) {
  CatalogueDir dir;
  std::string content = kHeader;
  for (int i = 0; i < 102; ++i) content += "1\n";
  writeFile(dir / "in.tsv", content);
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 2);
  std::string expected;
  for (int line = 2; line < 102; ++line) {
    expected += "riga " + std::to_string(line) + ": 1 valore invece di 2\n";
  }
  expected += "...\n102 righe con errori (102 errori): opere.cry non modificato\n";
  EXPECT_EQ(run.errorOutput, expected);
}

// Inputs that once took memory in proportion to their size: one line of
// 256 MB (zero bytes, no line feed), and two million bad lines whose errors
// were all kept. Under an address-space limit of 150 MB both are refused
// with their count, not with an abort or a read error.
struct HugeInputCase {
  const char* name;
  void (*write)(const std::filesystem::path&);
  std::string lastLine;
};

class HugeInputs : public ::testing::TestWithParam<HugeInputCase> {};

TEST_P(HugeInputs, AreRefusedInLittleMemory) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  CatalogueDir dir;
  GetParam().write(dir / "in.tsv");
  const auto run = testing::runProgram(
      "/bin/sh", dir.path(),
      {"-c", "ulimit -v 150000 && exec \"$0\" cifra in.tsv", CATALOGO_EXECUTABLE});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_TRUE(run.errorOutput.ends_with(GetParam().lastLine)) << run.errorOutput.substr(0, 500);
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.cry"));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, HugeInputs,
    ::testing::Values(HugeInputCase{"OneLineOfAQuarterGigabyte",
                                    [](const std::filesystem::path& file) {
                                      writeFile(file, kHeader);
                                      std::filesystem::resize_file(
                                          file, kHeader.size() + (std::size_t{256} << 20));
                                    },
                                    "riga 2: più di 65536 byte\n"
                                    "1 riga con errori (1 errore): opere.cry non modificato\n"},
                      HugeInputCase{
                          "TwoMillionBadLines",
                          [](const std::filesystem::path& file) {
                            std::string content = kHeader;
                            for (int i = 0; i < 2'000'000; ++i) content += "1\n";
                            writeFile(file, content);
                          },
                          "2000000 righe con errori (2000000 errori): opere.cry non modificato\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
