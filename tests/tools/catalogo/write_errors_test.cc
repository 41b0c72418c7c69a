// What catalogo says when standard output can't take what it writes (a full
// disk): every command, and the help and version flags, end with the write
// error and exit status 2, whatever their own outcome was. (cerca, mostra,
// decifra and esporta check their output themselves, and are tested with
// their data.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

struct WriteErrorCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* removed;  // a file of the indexed catalogue removed first, or nullptr
};

class FullStandardOutput : public ::testing::TestWithParam<WriteErrorCase> {};

TEST_P(FullStandardOutput, IsAnError) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  testing::writeFile(dir / "in.tsv", "RecordNumber\tT1\n1\tuno\n");
  if (GetParam().removed) std::filesystem::remove(dir / GetParam().removed);
  std::vector<std::string> arguments{"-c", "exec \"$0\" \"$@\" > /dev/full", CATALOGO_EXECUTABLE};
  arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  const auto run = testing::runProgram("/bin/sh", dir.path(), arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_TRUE(run.errorOutput.ends_with("Errore di scrittura sullo standard output\n"))
      << run.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, FullStandardOutput,
    ::testing::Values(WriteErrorCase{"Verify", {"verifica"}, nullptr},
                      WriteErrorCase{"Encode", {"cifra", "in.tsv"}, nullptr},
                      WriteErrorCase{"CreateDatabase", {"crea-db"}, "opere.ddb"},
                      WriteErrorCase{"Help", {"help"}, nullptr},
                      WriteErrorCase{"HelpOfACommand", {"help", "cerca"}, nullptr},
                      WriteErrorCase{"HelpFlag", {"--help"}, nullptr},
                      WriteErrorCase{"CommandHelpFlag", {"verifica", "--help"}, nullptr},
                      WriteErrorCase{"VersionFlag", {"--version"}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
