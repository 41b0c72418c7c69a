// Values a spreadsheet would take for a formula: csv, the format for one,
// guards each with a ' by default (OWASP's rule for CSV injection), keeps
// the bytes when asked to, and leaves the record number alone; tsv, the form
// the records travel in and come back from, keeps every byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

class SpreadsheetValues : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new CatalogueDir;
    dir_->prepare({PlainRecord()
                       .recordNumber(7)
                       .kindCode("=A")
                       .textField(1, "=SOMMA(A1)")
                       .textField(2, "+39 06")
                       .textField(3, "-5 Sonata")
                       .textField(4, "@Sonata")
                       .textField(5, "\tSonata")
                       .textField(6, "\rSonata")
                       .textField(7, "Sonata = 1")});
    if (dir_->run().exitStatus != 0) throw std::runtime_error("the indexer failed");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static CatalogueDir* dir_;
};
CatalogueDir* SpreadsheetValues::dir_ = nullptr;

struct ValuesCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string row;  // the line after the header
};

class FormulaValues : public SpreadsheetValues, public ::testing::WithParamInterface<ValuesCase> {};

TEST_P(FormulaValues, AreGuardedInCsvOnly) {
  const auto run = runCatalogo(dir_->path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(run.output.substr(run.output.find('\n') + 1), GetParam().row + "\n");
}

const std::string kGuarded =
    "7,'=A,'=SOMMA(A1),'+39 06,'-5 Sonata,'@Sonata,'\tSonata,\"'\rSonata\",Sonata = 1,,,,,";
const std::string kAsTheyAre =
    "7,=A,=SOMMA(A1),+39 06,-5 Sonata,@Sonata,\tSonata,\"\rSonata\",Sonata = 1,,,,,";

INSTANTIATE_TEST_SUITE_P(
    Catalogo, FormulaValues,
    ::testing::Values(
        ValuesCase{"SearchAsCsv", {"cerca", "sonata", "--formato", "csv"}, kGuarded},
        ValuesCase{"ShowAsCsv", {"mostra", "7", "--formato", "csv"}, kGuarded},
        ValuesCase{
            "SearchAsCsvKept", {"cerca", "sonata", "--formato", "csv", "--csv-grezzo"}, kAsTheyAre},
        ValuesCase{"SearchAsTsv",
                   {"cerca", "sonata", "--formato", "tsv"},
                   "7\t=A\t=SOMMA(A1)\t+39 06\t-5 Sonata\t@Sonata\t\\tSonata\t\\rSonata\t"
                   "Sonata = 1\t\t\t\t\t"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
