// catalogo cerca and catalogo mostra on a small indexed catalogue.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "index_store/index_database.h"
#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

// The record numbers at the head of cerca's result lines, in order; the
// partial results that may follow them left out.
std::vector<int> listedNumbers(const std::string& output) {
  std::vector<int> numbers;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with("Risultati parziali")) break;
    if (line.find("record trovat") != std::string::npos) continue;
    numbers.push_back(std::stoi(line));
  }
  return numbers;
}

struct SearchCase {
  const char* name;
  std::vector<std::string> arguments;
  std::vector<int> numbers;
  std::string notes = "";  // standard error: how the query was read
};

class Search : public ::testing::TestWithParam<SearchCase> {};

TEST_P(Search, ListsTheRecordsCarryingEveryTerm) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const auto run = runCatalogo(dir.path(), [&] {
    std::vector<std::string> arguments{"cerca"};
    arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    return arguments;
  }());
  if (GetParam().numbers.empty()) {
    // Records with some of the words may follow, apart.
    EXPECT_TRUE(listedNumbers(run.output).empty()) << run.output;
    EXPECT_TRUE(run.output.ends_with("Nessun record trovato\n") ||
                run.output.ends_with("Nessun record con tutte le parole\n"))
        << run.output;
    EXPECT_EQ(run.exitStatus, 1);
  } else {
    EXPECT_EQ(listedNumbers(run.output), GetParam().numbers);
    EXPECT_EQ(run.exitStatus, 0);
  }
  // Nothing at all found: ideas of what to try follow the notes.
  const bool nothing = run.output.ends_with("Nessun record trovato\n");
  EXPECT_EQ(run.errorOutput.substr(0, run.errorOutput.find("Qualche idea:\n")), GetParam().notes);
  EXPECT_EQ(run.errorOutput.find("Qualche idea:\n") != std::string::npos, nothing)
      << run.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Search,
    ::testing::Values(
        SearchCase{"OneWordAnyCase", {"bach"}, {1, 2}},
        SearchCase{"TwoWordsIntersect", {"BACH", "sonata"}, {1}},
        SearchCase{"WordsOfOneArgumentIntersect", {"w.a. mozart"}, {3}},
        SearchCase{"CodeAsGiven", {"BWV1001"}, {1}}, SearchCase{"CodeInAnyCase", {"bwv1001"}, {1}},
        SearchCase{"CodeAndWord", {"K545", "sonata"}, {3}},
        SearchCase{"Utf8ArgumentFindsLatin1Word", {"chrétiens"}, {4}},
        SearchCase{"NoCommonRecord", {"mozart", "partita"}, {}},
        SearchCase{
            "StopWordIsNotIndexed", {"in"}, {}, "Parola troppo comune, non indicizzata: «in»\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, SearchShowsNumberIndexKindCodeAndTextFields) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  EXPECT_EQ(runCatalogo(dir.path(), {"cerca", "partita"}).output,
            "     2  pF  J. S. Bach |  |  | Partita |  |  |  |  |  |  |  |\n1 record trovato\n");
  EXPECT_EQ(
      runCatalogo(dir.path(), {"cerca", "adam"}).output,
      "     4  VO  A. Adam |  |  | Minuit Chrétiens |  |  |  |  |  |  |  |\n1 record trovato\n");
}

TEST(Catalogo, SearchLeavesOutAnEntryWhoseRecordIsNotStored) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const auto entry = storedEntryOf({77, {{'A', 'L'}}});
  std::filesystem::remove(dir / "opere.idb");
  testing::loadDatabase(dir / "opere.idb", {{"ORFANO", std::string(entry.begin(), entry.end())}});
  const auto run = runCatalogo(dir.path(), {"cerca", "orfano"});
  EXPECT_EQ(run.output, "Nessun record trovato\n");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.errorOutput.find("Nota: 1 voce di opere.idb non vale più"), std::string::npos);
}

TEST(Catalogo, SearchPassesOverAStoredItemThatIsNoWholeRecord) {
  CatalogueDir dir;
  dir.dataDatabase(
      {testing::storedItemOf(PlainRecord().recordNumber(1).kindCode("AR").textField(1, "Sonata")),
       {testing::recordKey(2), "short"}});
  std::string entries;
  for (const RecordNumber number : {1, 2}) {
    const auto entry = storedEntryOf({number, {{'A', 'R'}}});
    entries.append(entry.begin(), entry.end());
  }
  testing::loadDatabase(dir / "opere.idb", {{"SONATA", entries}});
  const auto run = runCatalogo(dir.path(), {"cerca", "sonata"});
  EXPECT_EQ(run.output, "     1  AR  Sonata |  |  |  |  |  |  |  |  |  |  |\n1 record trovato\n");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.errorOutput.find("Nota: 1 voce di opere.idb non vale più"), std::string::npos)
      << run.errorOutput;
}

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* removed;  // a file taken away first, or ""
  std::string message;
};

class Failures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Failures, ExitWithStatusTwoAndSayWhy) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  if (*GetParam().removed) std::filesystem::remove(dir / GetParam().removed);
  // A named pipe in the index's place: opening it would wait for a writer.
  if (std::string_view(GetParam().name).starts_with("IndexIsAPipe")) {
    ASSERT_EQ(mkfifo((dir / "opere.idb").c_str(), 0600), 0);
  }
  const auto run = runCatalogo(dir.path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.errorOutput.find(GetParam().message), std::string::npos) << run.errorOutput;
  EXPECT_EQ(run.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Failures,
    ::testing::Values(
        FailureCase{
            "SearchWithoutIndex", {"cerca", "bach"}, "opere.idb", "File opere.idb indefinito"},
        FailureCase{
            "SearchWithoutData", {"cerca", "bach"}, "opere.ddb", "File opere.ddb indefinito"},
        FailureCase{"IndexIsAPipe",
                    {"cerca", "bach"},
                    "opere.idb",
                    "Errore apertura opere.idb: non è un file regolare"},
        FailureCase{"SearchForSeparatorsOnly", {"cerca", "..."}, "", "Parola senza termini"},
        FailureCase{"SearchWithoutWords", {"cerca"}, "", "Argomento mancante"},
        FailureCase{"SearchWithAnUnknownOption", {"cerca", "-x"}, "", "Opzione sconosciuta: -x"},
        FailureCase{"ShowWithoutData", {"mostra", "1"}, "opere.ddb", "File opere.ddb indefinito"},
        FailureCase{"ShowLetters", {"mostra", "abc"}, "", "Numero di record non valido: 'abc'"},
        FailureCase{"ShowTrailingJunk", {"mostra", "12x"}, "", "Numero di record non valido"},
        FailureCase{
            "ShowBeyond32Bits", {"mostra", "99999999999"}, "", "Numero di record non valido"},
        FailureCase{"UnknownCommand", {"elenca"}, "", "Comando sconosciuto: elenca"},
        FailureCase{"ExtraArgument", {"crea-db", "x"}, "", "Argomenti in più"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, ShowListsTheFieldsAndTheIndexReadings) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const auto run = runCatalogo(dir.path(), {"mostra", "+2"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output,
            "Record 2\n"
            "RecordNumber  000002\n"
            "KindCode      PF\n"
            "FlagA         1\n"
            "FlagB         2\n"
            "T1            J. S. Bach\n"
            "T2\nT3\n"
            "T4            Partita\n"
            "T5\nT6\nT7\nC1\nC2\nC3\nC4\nC5\n"
            "Numero        2\n"
            "Tipo indice   pF\n");
}

TEST(Catalogo, ShowReadsTextFieldsAsTheIndexerDoes) {
  CatalogueDir dir;
  // A zero byte ends the record text: T1 is cut there and the later text
  // and code fields are empty, while the byte fields are still read.
  dir.dataDatabase({testing::storedItemOf(PlainRecord()
                                              .recordNumber(5)
                                              .textField(1, std::string("ab\0cd", 5))
                                              .textField(2, "lost")
                                              .codeField(1, "X1")
                                              .kindCode("VO"))});
  const auto run = runCatalogo(dir.path(), {"mostra", "5"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output,
            "Record 5\nRecordNumber  000005\nKindCode      VO\nFlagA\nFlagB\n"
            "T1            ab\nT2\nT3\nT4\nT5\nT6\nT7\nC1\nC2\nC3\nC4\nC5\n"
            "Numero        5\nTipo indice   VO\n");
}

struct ShowCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
  std::string errorOutput;
  int exitStatus;
};

class ShowMany : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowMany, WritesEachNumberInTheOrderGiven) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const auto run = runCatalogo(dir.path(), GetParam().arguments);
  EXPECT_EQ(run.output, GetParam().output);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
  EXPECT_EQ(run.exitStatus, GetParam().exitStatus);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, ShowMany,
    ::testing::Values(
        ShowCase{"Tsv",
                 {"mostra", "4", "2", "--formato", "tsv"},
                 "numero\ttipo\tT1\tT2\tT3\tT4\tT5\tT6\tT7\tC1\tC2\tC3\tC4\tC5\n"
                 "4\tVO\tA. Adam\t\t\tMinuit Chrétiens\t\t\t\t\t\t\t\t\n"
                 "2\tpF\tJ. S. Bach\t\t\tPartita\t\t\t\t\t\t\t\t\n",
                 "",
                 0},
        ShowCase{"JsonWithAMissingNumber",
                 {"mostra", "--formato", "json", "99", "3"},
                 "{\"numero\":3,\"tipo\":\"PF\",\"T1\":\"W. A. Mozart\",\"T2\":\"\",\"T3\":\"\","
                 "\"T4\":\"Sonata facile\",\"T5\":\"\",\"T6\":\"\",\"T7\":\"\",\"C1\":\"K545\","
                 "\"C2\":\"\",\"C3\":\"\",\"C4\":\"\",\"C5\":\"\"}\n",
                 "Record 99 non trovato\n",
                 1},
        ShowCase{
            "TextRecordsApart",
            {"mostra", "1", "99"},
            "Record 1\nRecordNumber  000001\nKindCode      AR\nFlagA\nFlagB\nT1            J. S. "
            "Bach\n"
            "T2\nT3\nT4            Sonata in G\nT5\nT6\nT7\nC1            BWV1001\nC2\nC3\nC4\nC5\n"
            "Numero        1\nTipo indice   AR\n\nRecord 99 non trovato\n",
            "",
            1},
        ShowCase{"EveryNumberCheckedFirst",
                 {"mostra", "1", "x"},
                 "",
                 "Numero di record non valido: 'x'\n",
                 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, ShowOfAnAbsentNumberSaysSo) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const auto run = runCatalogo(dir.path(), {"mostra", "-9"});
  EXPECT_EQ(run.output, "Record -9 non trovato\n");
  EXPECT_EQ(run.exitStatus, 1);
}

}  // namespace
}  // namespace indicizza
