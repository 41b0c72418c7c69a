// Control bytes in a record, and in input that a message echoes: what is
// written for a terminal (cerca in testo, mostra, the messages on standard
// error) shows them as escapes, so that a field holding ESC [2J no longer
// clears the screen; the formats for programs (tsv, csv, json) keep every
// byte, quoted as each format wants.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

// T1 holds ESC [2J (clear screen) and the Latin-1 byte 0x9B (the C1 CSI).
const std::string kTitle = "Bach \x1b[2J Sonata\x9b";

class ControlBytes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new CatalogueDir;
    dir_->prepare({PlainRecord().recordNumber(7).textField(1, kTitle).kindCode("A\x07")});
    if (dir_->run().exitStatus != 0) throw std::runtime_error("the indexer failed");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static CatalogueDir* dir_;
};

CatalogueDir* ControlBytes::dir_ = nullptr;

struct OutputCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
};

class RecordOutputs : public ControlBytes, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(RecordOutputs, EscapeForTheTerminalOnly) {
  const auto run = runCatalogo(dir_->path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(run.output, GetParam().output);
}

const std::string kEmptyColumns = "\t\t\t\t\t\t\t\t\t\t\t";  // T2..C5

INSTANTIATE_TEST_SUITE_P(
    Catalogo, RecordOutputs,
    ::testing::Values(
        OutputCase{"SearchAsText",
                   {"cerca", "bach"},
                   "     7  A\\x07  Bach \\x1b[2J Sonata\\x9b |  |  |  |  |  |  |  |  |  |  |\n"
                   "1 record trovato\n"},
        OutputCase{"Show",
                   {"mostra", "7"},
                   "Record 7\nRecordNumber  000007\nKindCode      A\\x07\nFlagA\nFlagB\n"
                   "T1            Bach \\x1b[2J Sonata\\x9b\n"
                   "T2\nT3\nT4\nT5\nT6\nT7\nC1\nC2\nC3\nC4\nC5\n"
                   "Numero        7\nTipo indice   A\\x07\n"},
        OutputCase{"SearchAsTsv",
                   {"cerca", "bach", "--formato", "tsv"},
                   "numero\ttipo\tT1\tT2\tT3\tT4\tT5\tT6\tT7\tC1\tC2\tC3\tC4\tC5\n"
                   "7\tA\x07\tBach \x1b[2J Sonata\xC2\x9B" +
                       kEmptyColumns + "\n"},
        OutputCase{"SearchAsCsv",
                   {"cerca", "bach", "--formato", "csv"},
                   "numero,tipo,T1,T2,T3,T4,T5,T6,T7,C1,C2,C3,C4,C5\n"
                   "7,A\x07,Bach \x1b[2J Sonata\xC2\x9B,,,,,,,,,,,\n"},
        OutputCase{"SearchAsJson",
                   {"cerca", "bach", "--formato", "json"},
                   "{\"numero\":7,\"tipo\":\"A\\u0007\",\"T1\":\"Bach \\u001B[2J Sonata\xC2\x9B\","
                   "\"T2\":\"\",\"T3\":\"\",\"T4\":\"\",\"T5\":\"\",\"T6\":\"\",\"T7\":\"\","
                   "\"C1\":\"\",\"C2\":\"\",\"C3\":\"\",\"C4\":\"\",\"C5\":\"\"}\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The first raw control byte of `text` for a terminal (0x00-0x1F but the
// line feed, 0x7F, or U+0080-U+009F in UTF-8), or "" when there is none.
std::string firstRawControl(const std::string& text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const bool c1 = byte == 0xC2 && at + 1 < text.size() &&
                    static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[at + 1]) <= 0x9F;
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1)
      return "byte " + std::to_string(at) + " of " + text;
  }
  return "";
}

struct TerminalCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string labels;  // etichette.txt for the run, or none
};

class TerminalOutputs : public ControlBytes, public ::testing::WithParamInterface<TerminalCase> {};

// Whatever a command writes for a terminal, from the records, the labels
// file or its diagnostics, holds no raw control byte: each is an escape.
TEST_P(TerminalOutputs, HoldNoRawControlByte) {
  if (!GetParam().labels.empty()) testing::writeFile(*dir_ / "etichette.txt", GetParam().labels);
  const auto run = runCatalogo(dir_->path(), GetParam().arguments);
  std::filesystem::remove(*dir_ / "etichette.txt");
  EXPECT_EQ(firstRawControl(run.output), "");
  EXPECT_EQ(firstRawControl(run.errorOutput), "");
  EXPECT_NE((run.output + run.errorOutput).find("\\x1b"), std::string::npos)
      << run.output << run.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, TerminalOutputs,
    ::testing::Values(
        TerminalCase{"Facets", {"cerca", "--faccette", "bach"}, ""},
        TerminalCase{"FacetsWithLabels",
                     {"cerca", "--faccette", "bach"},
                     "T1 Compo\x1b[2Jsitore\nA\x07 Aria\x1b[2J\n"},
        TerminalCase{"LabelsFileDiagnostic", {"cerca", "--faccette", "bach"}, "X\x1b[2J Voce\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct MessageCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string errorOutput;
};

class EchoedInput : public ControlBytes, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(EchoedInput, IsEscapedInMessages) {
  const auto run = runCatalogo(dir_->path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, EchoedInput,
    ::testing::Values(
        MessageCase{
            "ShowNumber", {"mostra", "7\x1b[2J"}, "Numero di record non valido: '7\\x1b[2J'\n"},
        MessageCase{"Query", {"cerca", "\"sonata\x1b"}, "virgolette non chiuse: '\"sonata\\x1b'\n"},
        MessageCase{
            "UnknownCommand", {"\x1b[2J"}, "Comando sconosciuto: \\x1b[2J. Aiuto: catalogo help\n"},
        MessageCase{"OptionValue",
                    {"cerca", "--limite", "\x1b[2J", "sonata"},
                    "Valore non valido per --limite: '\\x1b[2J' (un numero intero da 1 in su). "
                    "Aiuto: catalogo help\n"},
        MessageCase{
            "InputFileName", {"cifra", "nessuno\r.tsv"}, "Errore lettura nessuno\\x0d.tsv\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
