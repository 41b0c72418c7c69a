// catalogo cerca on a catalogue made for it: accented and upper-case forms,
// codes as stored in either case, stale index entries, each operator, each
// output format and paging. The expected record lists are written by hand
// from the records below.
#include <gtest/gtest.h>

#include <sstream>

#include "index_store/index_database.h"
#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::runCatalogo;

// Latin-1 text of the records; queries are typed in UTF-8.
std::vector<PlainRecord> searchCatalogue() {
  return {
      PlainRecord()
          .recordNumber(1)
          .kindCode("AR")
          .textField(1, "J. S. Bach")
          .textField(4, "Sonata in sol minore")
          .codeField(1, "BWV1001"),
      PlainRecord()
          .recordNumber(2)
          .kindCode("PF")
          .flags('1', '2')
          .textField(1, "J. S. Bach")
          .textField(4, "Partita")
          .codeField(1, "bwv1002"),
      PlainRecord()
          .recordNumber(3)
          .kindCode("PF")
          .textField(1, "W. A. Mozart")
          .textField(4, "Sonata facile")
          .textField(5, "Rondo K.331")
          .codeField(1, "K545")
          .codeField(2, "K.331"),
      PlainRecord()
          .recordNumber(4)
          .kindCode("VO")
          .textField(1, "A. Adam")
          .textField(4, "Minuit Chr\xE9tiens"),
      PlainRecord()
          .recordNumber(5)
          .kindCode("VO")
          .textField(1, "G. Faur\xE9")
          .textField(4, "Perch\xE9 no"),
      PlainRecord()
          .recordNumber(6)
          .kindCode("VO")
          .textField(1, "ANONIMO")
          .textField(4, "PERCH\xC9 S\xCC")
          .textField(5,
                     "\xDC"
                     "BER ALLES"),
      PlainRecord()
          .recordNumber(7)
          .kindCode("OR")
          .textField(1, "R. Strau\xDF")
          .textField(4,
                     "\xFC"
                     "ber die Stra\xDF"
                     "e")
          .codeField(1, "trv287"),
      PlainRecord()
          .recordNumber(8)
          .kindCode("OR")
          .textField(1, "G. Bizet")
          .textField(4, "L'Arl\xE9sienne, suite \"1\"")
          .codeField(1, "979-0-2001-1"),
      PlainRecord()
          .recordNumber(9)
          .kindCode("CH")
          .textField(1, "J. S. Bach")
          .textField(4, "Sonata in sol")
          .textField(6, "per chitarra")
          .codeField(1, "BWV1001"),
  };
}

// The search catalogue indexed, then record 2 retitled "Ciaccona" and
// indexed again, which leaves a stale entry PARTITA -> 2; and an entry
// SONATA -> 77 whose record was never stored.
void indexSearchCatalogue(CatalogueDir& dir) {
  std::vector<PlainRecord> records = searchCatalogue();
  dir.prepare(records, "IN\n");
  ASSERT_EQ(dir.run().exitStatus, 0);
  records[1].textField(4, "Ciaccona");
  dir.records(records);
  ASSERT_EQ(dir.run().exitStatus, 0);
  std::vector<testing::StoredItem> items = dir.indexItems();
  for (auto& [term, data] : items) {
    if (term != "SONATA") continue;
    const StoredEntry orphan = storedEntryOf({77, {{'A', 'R'}}});
    data.append(orphan.begin(), orphan.end());
  }
  std::filesystem::remove(dir / "opere.idb");
  testing::loadDatabase(dir / "opere.idb", items);
}

// One indexed search catalogue for every case of this file (read-only use).
class SearchCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new CatalogueDir;
    indexSearchCatalogue(*dir_);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static testing::ProgramRun search(std::vector<std::string> arguments) {
    return testing::runCerca(dir_->path(), std::move(arguments));
  }
  static CatalogueDir* dir_;
};
CatalogueDir* SearchCatalogue::dir_ = nullptr;

struct QueryCase {
  const char* name;
  std::vector<std::string> arguments;
  std::vector<int> numbers;
  std::string notePart = "";  // a part of standard error, or ""
};

class Queries : public SearchCatalogue, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(Queries, FindTheRecordsAPersonMeans) {
  std::vector<std::string> arguments = GetParam().arguments;
  // Which records, not their rank: in record-number order.
  arguments.insert(arguments.begin(), {"--formato", "tsv", "--ordina", "numero"});
  const auto run = search(arguments);
  EXPECT_EQ(testing::tsvListedNumbers(run.output), GetParam().numbers) << run.errorOutput;
  EXPECT_EQ(run.exitStatus, GetParam().numbers.empty() ? 1 : 0) << run.errorOutput;
  EXPECT_NE(run.errorOutput.find(GetParam().notePart), std::string::npos) << run.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Queries,
    ::testing::Values(
        QueryCase{"Word", {"bach"}, {1, 2, 9}}, QueryCase{"TwoWords", {"BACH", "sonata"}, {1, 9}},
        QueryCase{"AccentedAsTyped", {"perché"}, {5, 6}},
        QueryCase{"CapitalAccented", {"PERCHÉ"}, {5, 6}},
        QueryCase{"WithoutAccent", {"Perche"}, {5, 6}},
        QueryCase{"UmlautBothCases", {"uber"}, {6, 7}}, QueryCase{"SharpS", {"strasse"}, {7}},
        QueryCase{"SharpSTyped", {"STRAßE"}, {7}}, QueryCase{"SharpSInAName", {"strauss"}, {7}},
        QueryCase{"AccentInTheMiddle", {"arlesienne"}, {8}},
        QueryCase{"ApostropheMakesAPhrase", {"l'arlesienne"}, {8}},
        QueryCase{"GraveOnCapital", {"si"}, {6}},
        QueryCase{"ExactAccentedAsStored", {"--esatto", "perché"}, {5}},
        QueryCase{"ExactCapitalAccented", {"--esatto", "PERCHÉ"}, {6}},
        QueryCase{"ExactWithoutAccent", {"--esatto", "perche"}, {}},
        QueryCase{"CodeAnyCase", {"BWV1002"}, {2}},
        QueryCase{"CodeStoredInCapitals", {"bwv1001"}, {1, 9}},
        QueryCase{"LowerCaseCode", {"TRV287"}, {7}},
        QueryCase{"ExactCode", {"--esatto", "BWV1002"}, {}},
        QueryCase{"ExactCodeAsStored", {"--esatto", "bwv1002"}, {2}},
        QueryCase{"CodeCutAtItsSeparator", {"979"}, {8}},
        QueryCase{"UnstorableCodeIsSoughtInTheText", {"K.331"}, {3}, "«K.331» non è tra i codici"},
        QueryCase{
            "UnstorableCodeSaysWhatIsIndexed", {"979-0-2001-1"}, {}, "primo separatore ('979')"},
        QueryCase{"Or", {"bach OR mozart"}, {1, 2, 3, 9}},
        QueryCase{"Minus", {"bach", "--", "-sonata"}, {2}},
        QueryCase{"MinusInsideAnArgument", {"bach -sonata"}, {2}},
        QueryCase{"Not", {"sonata NOT bach"}, {3}},
        QueryCase{"NotAGroup", {"sonata -(bach OR faur*)"}, {3}},
        QueryCase{"Group", {"(bach OR adam) sonata"}, {1, 9}},
        QueryCase{"PhraseWithAStopWord", {"\"sonata in sol\""}, {1, 9}},
        QueryCase{"PhraseInOrderOnly", {"\"sol sonata\""}, {}},
        QueryCase{"PhraseAcrossFields", {"\"bach sonata\""}, {1, 9}},
        QueryCase{"PhraseWithANumber", {"\"rondo k 331\""}, {3}},
        QueryCase{"Prefix", {"sona*"}, {1, 3, 9}}, QueryCase{"PrefixFolded", {"perch*"}, {5, 6}},
        QueryCase{"PrefixEndingInsideSharpS", {"stras*"}, {7}},
        QueryCase{"PrefixOfCodes", {"bwv100*"}, {1, 2, 9}},
        QueryCase{"TextField", {"T1:bach"}, {1, 2, 9}},
        QueryCase{"WordNotInThatField", {"T4:bach"}, {}},
        QueryCase{"PhraseInAField", {"T4:\"bach sonata\""}, {}},
        QueryCase{"FieldOfAWordAfterOthers", {"T6:chitarra"}, {9}},
        QueryCase{"CodeField", {"C1:bwv1001"}, {1, 9}},
        QueryCase{"CodeNotInThatField", {"C2:bwv1001"}, {}}, QueryCase{"StopWord", {"in"}, {}},
        QueryCase{
            "StaleEntryIsNoResult", {"partita"}, {}, "Nota: 1 voce di opere.idb non vale più"},
        // A word found nowhere: its correction runs when the query as
        // typed finds nothing, and is only offered when it finds something.
        QueryCase{"MisspeltWordRunsItsCorrection",
                  {"mozrat"},
                  {3},
                  "Risultati per «mozart» (nessun risultato per «mozrat»)\n"},
        QueryCase{"CorrectionOnlyOfferedBesideResults",
                  {"mozrat OR adam"},
                  {4},
                  "Forse cercavi: «mozart OR adam»\n"},
        QueryCase{"NoCorrectionUnderExactMatching", {"--esatto", "mozrat"}, {}},
        QueryCase{"StopWordDroppedWithANote", {"sonata", "in", "sol"}, {1, 9}, "«in»"},
        QueryCase{"EntryWithoutRecordIsNoResult",
                  {"sonata"},
                  {1, 3, 9},
                  "'catalogo verifica' le elenca"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SearchCatalogue, StaleEntriesAreCountedOnStandardErrorWithTheWayToCleanThem) {
  const auto run = search({"partita OR sonata"});
  EXPECT_EQ(
      run.errorOutput,
      "Nota: 2 voci di opere.idb non valgono più per il loro record e sono state ignorate "
      "(record assente o senza il termine): 'catalogo verifica' le elenca; rimuovere opere.idb e "
      "rieseguire indicizza ricostruisce l'indice\n");
}

// --faccette counts the results, not the page, and each narrowing it
// offers finds exactly the records it counted.
TEST_F(SearchCatalogue, FacetsCountEveryResultAndTheirNarrowingsFindThem) {
  const auto run = search({"--faccette", "--limite", "1", "sonata"});
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  const std::string facets = run.output.substr(run.output.find("Faccette"));
  EXPECT_EQ(facets,
            "Faccette dei 3 risultati:\n"
            "Per tipo:\n"
            "       1  AR\n"
            "       1  CH\n"
            "       1  PF\n"
            "Per T1:\n"
            "       2  J. S. Bach  -> catalogo cerca '(sonata) T1:\"J S Bach\"'\n"
            "       1  W. A. Mozart  -> catalogo cerca '(sonata) T1:\"W A Mozart\"'\n");
  const auto narrowed =
      search({"--formato", "tsv", "--ordina", "numero", "(sonata) T1:\"J S Bach\""});
  EXPECT_EQ(testing::tsvListedNumbers(narrowed.output), (std::vector<int>{1, 9}));
}

// A kind code the flags lower-cased shares its capital form's row.
TEST_F(SearchCatalogue, FacetsJoinAKindCodesVariants) {
  const auto run = search({"--faccette", "bwv1002 OR k545"});
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  const std::string facets = run.output.substr(run.output.find("Per tipo:"));
  EXPECT_EQ(facets.substr(0, facets.find("Per T1")), "Per tipo:\n       2  PF pF\n");
}

struct FormatCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
  std::string errorOutput;
};

class Formats : public SearchCatalogue, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formats, HaveFixedColumnsAndKeepTheCountApart) {
  const auto run = search(GetParam().arguments);
  EXPECT_EQ(run.output, GetParam().output);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
}

const std::string kTsvHeader = "numero\ttipo\tT1\tT2\tT3\tT4\tT5\tT6\tT7\tC1\tC2\tC3\tC4\tC5\n";
const std::string kCsvHeader = "numero,tipo,T1,T2,T3,T4,T5,T6,T7,C1,C2,C3,C4,C5\n";

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Formats,
    ::testing::Values(
        FormatCase{"Text",
                   {"bizet OR adam"},
                   "     4  VO  A. Adam |  |  | Minuit Chrétiens |  |  |  |  |  |  |  |\n"
                   "     8  OR  G. Bizet |  |  | L'Arlésienne, suite \"1\" |  |  |  | 979-0-2001-1 "
                   "|  |  |  |\n"
                   "2 record trovati\n",
                   ""},
        FormatCase{"TextKindCodeAsIndexed",
                   {"ciaccona"},
                   "     2  pF  J. S. Bach |  |  | Ciaccona |  |  |  | bwv1002 |  |  |  |\n1 "
                   "record trovato\n",
                   ""},
        FormatCase{
            "Tsv",
            {"--formato", "tsv", "bizet OR adam"},
            kTsvHeader + "4\tVO\tA. Adam\t\t\tMinuit Chrétiens\t\t\t\t\t\t\t\t\n" +
                "8\tOR\tG. Bizet\t\t\tL'Arlésienne, suite \"1\"\t\t\t\t979-0-2001-1\t\t\t\t\n",
            "2 record trovati\n"},
        FormatCase{"Csv",
                   {"--formato", "csv", "bizet OR adam"},
                   kCsvHeader + "4,VO,A. Adam,,,Minuit Chrétiens,,,,,,,,\n" +
                       "8,OR,G. Bizet,,,\"L'Arlésienne, suite \"\"1\"\"\",,,,979-0-2001-1,,,,\n",
                   "2 record trovati\n"},
        FormatCase{"Json",
                   {"--formato", "json", "bizet"},
                   "{\"numero\":8,\"tipo\":\"OR\",\"T1\":\"G. Bizet\",\"T2\":\"\",\"T3\":\"\","
                   "\"T4\":\"L'Arlésienne, suite \\\"1\\\"\",\"T5\":\"\",\"T6\":\"\",\"T7\":\"\","
                   "\"C1\":\"979-0-2001-1\",\"C2\":\"\",\"C3\":\"\",\"C4\":\"\",\"C5\":\"\"}\n",
                   "1 record trovato\n"},
        FormatCase{"NothingFoundInTsv",
                   {"--formato", "tsv", "zefiro"},
                   kTsvHeader,
                   "Nessun record trovato\n"},
        FormatCase{"CountOnly", {"--conta", "bach OR adam"}, "4\n", ""},
        FormatCase{"CountOfNothing", {"--conta", "zefiro"}, "0\n", ""},
        // Records 1 and 9, of one work (BWV1001), stay together.
        FormatCase{"FirstPage",
                   {"--formato", "tsv", "--limite", "2", "bach"},
                   kTsvHeader +
                       "1\tAR\tJ. S. Bach\t\t\tSonata in sol minore\t\t\t\tBWV1001\t\t\t\t\n" +
                       "9\tCH\tJ. S. Bach\t\t\tSonata in sol\t\tper chitarra\t\tBWV1001\t\t\t\t\n",
                   "3 record trovati, mostrati 1-2\n"},
        FormatCase{"OrderedByAField",
                   {"--formato", "tsv", "--ordina", "T4", "bach"},
                   kTsvHeader + "2\tpF\tJ. S. Bach\t\t\tCiaccona\t\t\t\tbwv1002\t\t\t\t\n" +
                       "9\tCH\tJ. S. Bach\t\t\tSonata in sol\t\tper chitarra\t\tBWV1001\t\t\t\t\n" +
                       "1\tAR\tJ. S. Bach\t\t\tSonata in sol minore\t\t\t\tBWV1001\t\t\t\t\n",
                   "3 record trovati\n"},
        // A person reads the records with some of the words apart; a script
        // gets the full results only.
        FormatCase{"PartialResultsApart",
                   {"--limite", "3", "mozart", "sonata"},
                   "     3  PF  W. A. Mozart |  |  | Sonata facile | Rondo K.331 |  |  | K545 | "
                   "K.331 |  |  |\n"
                   "Risultati parziali: 2 record con alcune delle parole:\n"
                   "     1  AR  J. S. Bach |  |  | Sonata in sol minore |  |  |  | BWV1001 |  |  "
                   "|  |\n"
                   "     9  CH  J. S. Bach |  |  | Sonata in sol |  | per chitarra |  | BWV1001 |  "
                   "|  |  |\n"
                   "1 record trovato, e 2 con alcune delle parole\n",
                   ""},
        // Past the full result, one of the two partial ones fits: none of
        // the full ones is shown, and the partial ones are counted whole.
        FormatCase{"PartialResultsPastTheFullOnes",
                   {"--limite", "2", "--da", "2", "mozart", "sonata"},
                   "Risultati parziali: 2 record con alcune delle parole:\n"
                   "     1  AR  J. S. Bach |  |  | Sonata in sol minore |  |  |  | BWV1001 |  |  "
                   "|  |\n"
                   "1 record trovato, nessuno dal 2°, e 2 con alcune delle parole\n",
                   ""},
        FormatCase{
            "NoPartialResultsForScripts",
            {"--formato", "tsv", "--limite", "3", "mozart", "sonata"},
            kTsvHeader +
                "3\tPF\tW. A. Mozart\t\t\tSonata facile\tRondo K.331\t\t\tK545\tK.331\t\t\t\n",
            "1 record trovato\n"},
        FormatCase{"LastPage",
                   {"--limite", "2", "--da", "3", "bach"},
                   "     2  pF  J. S. Bach |  |  | Ciaccona |  |  |  | bwv1002 |  |  |  |\n"
                   "3 record trovati, mostrato il 3°\n",
                   ""},
        FormatCase{
            "PageBeyondTheEnd", {"--da", "4", "bach"}, "3 record trovati, nessuno dal 4°\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SearchCatalogue, PagingSkipsEveryNonResult) {
  // BACH proposes 1, 2 and 9; record 2 is read and dropped (it has
  // CIACCONA), so the second result is record 9.
  const auto run = search({"--formato", "tsv", "--da", "2", "--limite", "1", "bach -ciaccona"});
  EXPECT_EQ(testing::tsvListedNumbers(run.output), std::vector<int>{9});
  EXPECT_EQ(run.errorOutput, "2 record trovati, mostrato il 2°\n");
}

struct UsageCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string message;
};

class Usage : public SearchCatalogue, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(Usage, IsRefusedWithStatusTwoNamingWhatIsWrong) {
  const auto run = runCatalogo(dir_->path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput.substr(0, GetParam().message.size()), GetParam().message)
      << run.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, Usage,
    ::testing::Values(
        UsageCase{"UnknownOption",
                  {"cerca", "-x"},
                  "Opzione sconosciuta: -x (per escludere una parola: -- -x"},
        UsageCase{
            "ExclusionBeforeTheMark", {"cerca", "bach", "-sonata"}, "Opzione sconosciuta: -sonata"},
        UsageCase{
            "UnknownLongOption", {"cerca", "--tutto", "bach"}, "Opzione sconosciuta: --tutto."},
        UsageCase{"UnknownFormat", {"cerca", "--formato", "xml", "bach"}, "Argomenti non validi"},
        UsageCase{"UnknownOrder",
                  {"cerca", "--ordina", "anno", "bach"},
                  "Argomenti non validi (--ordina: anno"},
        UsageCase{
            "LimitZero", {"cerca", "--limite", "0", "bach"}, "Valore non valido per --limite"},
        UsageCase{
            "ParseErrorNamesTheToken", {"cerca", "bach", "OR"}, "'OR' senza un termine dopo\n"},
        UsageCase{"UnknownCommand", {"elenca"}, "Comando sconosciuto: elenca"},
        UsageCase{"HelpOfAnUnknownCommand", {"help", "elenca"}, "Comando sconosciuto: elenca"},
        UsageCase{"NoCommand", {}, "Comando mancante"}),
    [](const auto& info) { return std::string(info.param.name); });

// A numeric option's value that is out of range or no number at all: one
// short line naming the option, the value and the range (CLI11's own text
// printed a 300-digit limit).
struct OptionValueCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string errorOutput;
};

class OptionValues : public ::testing::TestWithParam<OptionValueCase> {};

TEST_P(OptionValues, AreRefusedInOneShortLine) {
  CatalogueDir dir;
  const auto run = runCatalogo(dir.path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
}

const std::string kFromOne = "' (un numero intero da 1 in su). Aiuto: catalogo help\n";
const std::string kPortRange = "' (un numero intero da 0 a 65535). Aiuto: catalogo help\n";

INSTANTIATE_TEST_SUITE_P(
    Catalogo, OptionValues,
    ::testing::Values(OptionValueCase{"LimitZero",
                                      {"cerca", "--limite", "0", "bach"},
                                      "Valore non valido per --limite: '0" + kFromOne},
                      OptionValueCase{"LimitNegative",
                                      {"cerca", "--limite", "-3", "bach"},
                                      "Valore non valido per --limite: '-3" + kFromOne},
                      OptionValueCase{"LimitFraction",
                                      {"cerca", "--limite", "1.5", "bach"},
                                      "Valore non valido per --limite: '1.5" + kFromOne},
                      OptionValueCase{"LimitNoNumber",
                                      {"cerca", "--limite", "tutti", "bach"},
                                      "Valore non valido per --limite: 'tutti" + kFromOne},
                      OptionValueCase{"FromZero",
                                      {"cerca", "--da", "0", "bach"},
                                      "Valore non valido per --da: '0" + kFromOne},
                      OptionValueCase{"PortTooLarge",
                                      {"servi", "--porta", "70000"},
                                      "Valore non valido per --porta: '70000" + kPortRange},
                      OptionValueCase{"PortNoNumber",
                                      {"servi", "--porta", "http"},
                                      "Valore non valido per --porta: 'http" + kPortRange}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, HelpShowsAnExampleForEveryCommand) {
  CatalogueDir dir;
  for (const char* command :
       {"cerca", "mostra", "crea-db", "cifra", "decifra", "esporta", "verifica", "help"}) {
    const auto run = runCatalogo(dir.path(), {"help", command});
    EXPECT_EQ(run.exitStatus, 0) << command;
    EXPECT_NE(run.output.find(std::string("  catalogo ") + command), std::string::npos)
        << run.output;
  }
  const auto all = runCatalogo(dir.path(), {"help"});
  EXPECT_EQ(all.exitStatus, 0);
  EXPECT_NE(all.output.find("esporta"), std::string::npos);
}

}  // namespace
}  // namespace indicizza
