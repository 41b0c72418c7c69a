// catalogo cifra and catalogo decifra: the tab-separated form of opere.cry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::readFile;
using testing::runCatalogo;
using testing::writeFile;

const std::string kHeader =
    "RecordNumber\tKindCode\tFlagA\tFlagB\tT1\tT2\tT3\tT4\tT5\tT6\tT7\tC1\tC2\tC3\tC4\tC5\n";

// The files of `dir`, to show that a refused conversion leaves nothing behind.
std::vector<std::string> fileNames(const CatalogueDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Catalogo, GeneratedTsvRoundTripsByteForByte) {
  CatalogueDir dir;
  const std::string tsv =
      kHeader +
      // Accented UTF-8 text, a value filling its field, a code with leading blanks.
      "000001\tAR\t1\t2\tJ. S. Bach\tViolino\tBarocco\tSonata n. 1 in sol minore\t1720\t"
      "Città di Lipsia\tÉdition française\t BWV 1001\t  1720\tABCDEFGHIJKLM\t\t\n" +
      "-00042\taR\t\t\t" + std::string(30, 'x') + "\t\t\t" + std::string(77, 'y') + "\t\t" +
      std::string(43, 'z') + "\t\t\t\t\t\t\n" +
      "7\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n";  // a record blank but for its number
  writeFile(dir / "in.tsv", tsv);

  const auto encode = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(encode.output, "3 record scritti in opere.cry\n");
  ASSERT_EQ(encode.exitStatus, 0) << encode.errorOutput;
  const std::string records = readFile(dir / "opere.cry");
  ASSERT_EQ(records.size(), 3 * kRecordSize);

  // The indexer's own readings see what the line said, in Latin-1.
  const auto first = DecodedRecord::fromScrambled(
      {reinterpret_cast<const std::uint8_t*>(records.data()), kRecordSize}, buildScrambleKey());
  EXPECT_EQ(recordNumberOf(first), 1);
  EXPECT_EQ(textField(first, 6).substr(0, 15), "Citt\xE0 di Lipsia");
  EXPECT_EQ(codeField(first, 1), " BWV 1001    ");

  const auto decode = runCatalogo(dir.path(), {"decifra"});
  EXPECT_EQ(decode.exitStatus, 0) << decode.errorOutput;
  EXPECT_EQ(decode.output, tsv);
}

TEST(Catalogo, Latin1FilesRoundTripWithTheFlag) {
  CatalogueDir dir;
  const std::string tsv = "T1\tRecordNumber\nMinuit Chr\xE9tiens\t7\n";
  writeFile(dir / "in.tsv", tsv);
  ASSERT_EQ(runCatalogo(dir.path(), {"cifra", "--latin1", "in.tsv"}).exitStatus, 0);
  const auto decode = runCatalogo(dir.path(), {"decifra", "--latin1"});
  EXPECT_EQ(decode.exitStatus, 0);
  // A subset of the fields in any order comes back as the full header.
  EXPECT_EQ(decode.output, kHeader + "7\t\t\t\tMinuit Chr\xE9tiens\t\t\t\t\t\t\t\t\t\t\t\n");
}

TEST(Catalogo, SampleCatalogueSurvivesDecodeAndEncode) {
  CatalogueDir dir;
  const auto made = testing::runProgram(DEMO_CATALOGUE_EXECUTABLE, dir.path(),
                                        {SAMPLE_WORKS_TSV, dir.path().string()});
  ASSERT_EQ(made.exitStatus, 0);
  // Said in the words of catalogo cifra and catalogo crea-db.
  EXPECT_EQ(made.output, "1106 record scritti in opere.cry\nCreato opere.ddb vuoto\n");
  const std::string original = readFile(dir / "opere.cry");

  const auto decode = runCatalogo(dir.path(), {"decifra"});
  ASSERT_EQ(decode.exitStatus, 0) << decode.errorOutput;
  writeFile(dir / "opere.tsv", decode.output);
  std::filesystem::remove(dir / "opere.cry");
  ASSERT_EQ(runCatalogo(dir.path(), {"cifra", "opere.tsv"}).exitStatus, 0);
  EXPECT_TRUE(readFile(dir / "opere.cry") == original);
}

struct BadRowCase {
  const char* name;
  std::string row;
  std::string message;
};

class BadRows : public ::testing::TestWithParam<BadRowCase> {};

std::string badNumber(const std::string& value) {
  return "riga 3, campo RecordNumber: numero di record non valido '" + value +
         "' (cifre decimali, con un segno facoltativo)";
}

TEST_P(BadRows, AreNamedByLineAndFieldAndNothingIsWritten) {
  CatalogueDir dir;
  writeFile(dir / "opere.cry", "earlier content");
  writeFile(dir / "in.tsv", "RecordNumber\tT1\tC1\n1\tgood\tX1\n" + GetParam().row + "\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.errorOutput.find(GetParam().message + "\n"), std::string::npos) << run.errorOutput;
  EXPECT_NE(run.errorOutput.find("opere.cry non modificato"), std::string::npos);
  EXPECT_EQ(readFile(dir / "opere.cry"), "earlier content");
  EXPECT_EQ(fileNames(dir), (std::vector<std::string>{"in.tsv", "opere.cry"}));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, BadRows,
    ::testing::Values(
        BadRowCase{"TooLong", "2\t" + std::string(31, 'a') + "\tX",
                   "riga 3, campo T1: 31 byte, al massimo 30"},
        BadRowCase{"AccentsCountAsOneByte", "2\t" + std::string(29, 'a') + "éé\tX",
                   "riga 3, campo T1: 31 byte, al massimo 30"},
        BadRowCase{"NumberTooLong", "1234567\ta\tX",
                   "riga 3, campo RecordNumber: 7 byte, al massimo 6"},
        BadRowCase{"MissingValue", "2\ta", "riga 3: 2 valori invece di 3"},
        BadRowCase{"ExtraValue", "2\ta\tb\tc", "riga 3: 4 valori invece di 3"},
        BadRowCase{"NotLatin1", "2\tprezzo 5 €\tX",
                   "riga 3, campo T1: carattere U+20AC non rappresentabile in Latin-1"},
        BadRowCase{"MalformedUtf8", "2\tChr\xE9tiens\tX",
                   "riga 3, campo T1: sequenza UTF-8 non valida al byte 4 (0xE9)"},
        BadRowCase{"CarriageReturnInside", "2\ta\rb\tX", "riga 3, campo T1: byte 0x0D non ammesso"},
        BadRowCase{"ZeroByte", std::string("2\ta\0b\tX", 7),
                   "riga 3, campo T1: byte 0x00 non ammesso"},
        // The indexer would read 12, 1, 0, 0, 0, 0, 1 and 0 from these: the
        // line would replace another record, or stand as record 0.
        BadRowCase{"NumberWithALetter", "12a\ta\tX", badNumber("12a")},
        BadRowCase{"NumberWithAnExponent", "1e3\ta\tX", badNumber("1e3")},
        BadRowCase{"HexadecimalNumber", "0x10\ta\tX", badNumber("0x10")},
        BadRowCase{"LettersForANumber", "abc\ta\tX", badNumber("abc")},
        BadRowCase{"EmptyNumber", "\ta\tX", badNumber("")},
        BadRowCase{"BlankNumber", "   \ta\tX", badNumber("   ")},
        BadRowCase{"BlankInsideTheNumber", "1 2\ta\tX", badNumber("1 2")},
        BadRowCase{"SignAlone", "-\ta\tX", badNumber("-")},
        BadRowCase{"SignApartFromTheDigits", "- 12\ta\tX", badNumber("- 12")}),
    [](const auto& info) { return std::string(info.param.name); });

// The record numbers taken: with blanks around them, or a sign, the indexer
// still reads exactly the number written.
struct RecordNumberCase {
  const char* name;
  std::string value;
  RecordNumber read;
};

class AcceptedRecordNumbers : public ::testing::TestWithParam<RecordNumberCase> {};

TEST_P(AcceptedRecordNumbers, AreReadAsWritten) {
  CatalogueDir dir;
  writeFile(dir / "in.tsv", "RecordNumber\tT1\n" + GetParam().value + "\tuno\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  ASSERT_EQ(run.exitStatus, 0) << run.errorOutput;
  const std::string records = readFile(dir / "opere.cry");
  ASSERT_EQ(records.size(), kRecordSize);
  const auto record = DecodedRecord::fromScrambled(
      {reinterpret_cast<const std::uint8_t*>(records.data()), kRecordSize}, buildScrambleKey());
  EXPECT_EQ(recordNumberOf(record), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Catalogo, AcceptedRecordNumbers,
                         ::testing::Values(RecordNumberCase{"BlanksBefore", "  42", 42},
                                           RecordNumberCase{"BlanksAfter", "42  ", 42},
                                           RecordNumberCase{"PlusSign", "+42", 42},
                                           RecordNumberCase{"MinusSign", " -0042", -42},
                                           RecordNumberCase{"Largest", "999999", 999999}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, EveryBadLineIsReportedNotJustTheFirst) {
  CatalogueDir dir;
  writeFile(dir / "in.tsv", "RecordNumber\tT1\tC1\r\n1\tok\t1\r\n2\t" + std::string(31, 'a') +
                                "\t1\r\n3\tok\t1\r\n4\tok\r\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.errorOutput,
            "riga 3, campo T1: 31 byte, al massimo 30\n"
            "riga 5: 2 valori invece di 3\n"
            "2 righe con errori (2 errori): opere.cry non modificato\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.cry"));
}

struct BadInputCase {
  const char* name;
  const char* content;  // of in.tsv; nullptr: no file
  std::string message;
};

class BadInputs : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadInputs, AreRefused) {
  CatalogueDir dir;
  if (GetParam().content) writeFile(dir / "in.tsv", GetParam().content);
  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.errorOutput.find(GetParam().message), std::string::npos) << run.errorOutput;
  EXPECT_FALSE(std::filesystem::exists(dir / "opere.cry"));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, BadInputs,
    ::testing::Values(BadInputCase{"MissingFile", nullptr, "Errore lettura in.tsv"},
                      BadInputCase{"EmptyFile", "", "manca la riga di intestazione"},
                      BadInputCase{"UnknownField", "T1\tTitolo\n",
                                   "intestazione, colonna 2: campo sconosciuto 'Titolo'"},
                      BadInputCase{"RepeatedField", "C1\tT1\tC1\n",
                                   "intestazione, colonna 3: campo ripetuto C1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedInputCase {
  const char* name;
  std::string content;  // of in.tsv
  std::vector<std::string> extraArguments;
  std::string errorOutput;  // all of standard error
};

class RefusedInputs : public ::testing::TestWithParam<RefusedInputCase> {};

TEST_P(RefusedInputs, LeaveTheRecordFileAsItWas) {
  CatalogueDir dir;
  writeFile(dir / "opere.cry", "earlier content");
  writeFile(dir / "in.tsv", GetParam().content);
  std::vector<std::string> arguments{"cifra", "in.tsv"};
  arguments.insert(arguments.end(), GetParam().extraArguments.begin(),
                   GetParam().extraArguments.end());
  const auto run = runCatalogo(dir.path(), arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(readFile(dir / "opere.cry"), "earlier content");
  EXPECT_EQ(fileNames(dir), (std::vector<std::string>{"in.tsv", "opere.cry"}));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, RefusedInputs,
    ::testing::Values(
        // A header alone would have made opere.cry an empty file.
        RefusedInputCase{"HeaderWithoutRecords",
                         "RecordNumber\tT1\n",
                         {},
                         "in.tsv: nessun record dopo l'intestazione; opere.cry non modificato\n"},
        RefusedInputCase{"HeaderWithoutALineEnd",
                         "RecordNumber\tT1",
                         {},
                         "in.tsv: nessun record dopo l'intestazione; opere.cry non modificato\n"},
        RefusedInputCase{
            "NoRecordNumberColumn",
            "T1\tC1\nuno\t1\ndue\t2\n",
            {},
            "Intestazione senza la colonna RecordNumber: ogni record ha bisogno del suo "
            "numero; opere.cry non modificato\n"},
        RefusedInputCase{
            "RepeatedNumbers",
            "RecordNumber\tT1\n7\ta\n8\tb\n000007\tc\n8\td\n9\te\n",
            {},
            "numero di record 7 ripetuto: righe 2, 4\n"
            "numero di record 8 ripetuto: righe 3, 5\n"
            "2 numeri di record ripetuti (--ammetti-doppi li accetta; l'indicizzatore tiene "
            "l'ultima riga di ciascuno): opere.cry non modificato\n"},
        // A header of an old Mac file (carriage returns only), after a
        // second byte order mark: the echoed names would hide part of the
        // message.
        RefusedInputCase{"HeaderEchoedWithItsControlBytes",
                         "\xEF\xBB\xBF\xEF\xBB\xBFRecordNumber\tT1\r1\tuno\r",
                         {},
                         "intestazione, colonna 1: campo sconosciuto '\\ufeffRecordNumber'\n"
                         "intestazione, colonna 2: campo sconosciuto 'T1\\x0d1'\n"
                         "intestazione, colonna 3: campo sconosciuto 'uno'\n"
                         "Intestazione non valida: opere.cry non modificato\n"},
        RefusedInputCase{"RecordNumberEchoedWithItsControlBytes",
                         "RecordNumber\tT1\n1\x1b[2J\tuno\n",
                         {},
                         "riga 2, campo RecordNumber: numero di record non valido '1\\x1b[2J' "
                         "(cifre decimali, con un segno facoltativo)\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"},
        RefusedInputCase{"NotUtf8SuggestsLatin1",
                         "RecordNumber\tT1\n1\tChr\xE9tiens\n",
                         {},
                         "riga 2, campo T1: sequenza UTF-8 non valida al byte 4 (0xE9)\n"
                         "Il file non è in UTF-8: se è in Latin-1, usare --latin1\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"},
        RefusedInputCase{"TypographicWithoutTheFlag",
                         "RecordNumber\tT1\n1\tSonata \u2013 n. 1\n",
                         {},
                         "riga 2, campo T1: carattere U+2013 non rappresentabile in Latin-1\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"},
        // A letter that has a Latin-1 form: the error says how to store it.
        RefusedInputCase{"LetterBeyondLatin1SuggestsTransliteration",
                         "RecordNumber\tT1\n1\tDvo\u0159\u00E1k\n",
                         {},
                         "riga 2, campo T1: carattere U+0159 non rappresentabile in Latin-1\n"
                         "Lettere fuori da Latin-1: con --translittera sono scritte nella forma "
                         "Latin-1 più vicina (ř -> r, ő -> ö), e ogni valore cambiato è "
                         "elencato\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"},
        // Another script has no Latin-1 form, with the flag or without.
        RefusedInputCase{"OtherScriptEvenWithTransliteration",
                         "RecordNumber\tT1\n1\t\u0427\u0430\u0439\n",
                         {"--translittera"},
                         "riga 2, campo T1: carattere U+0427 non rappresentabile in Latin-1\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"},
        RefusedInputCase{"ReplacementThatOverflowsTheField",
                         "RecordNumber\tT1\n1\t" + std::string(28, 'a') + "\u2026\n",
                         {"--sostituisci"},
                         "riga 2, campo T1: 31 byte, al massimo 30\n"
                         "1 riga con errori (1 errore): opere.cry non modificato\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// cifra puts the new opere.cry in place as a run puts a database: the file
// a link points to is replaced (the link stays), its mode is kept, and no
// working copy is left behind.
struct ReplacedFileCase {
  const char* name;
  bool throughLink;                 // opere.cry is a link to records/real.cry
  std::optional<unsigned> oldMode;  // the replaced file's mode; none: no file yet
};

class ReplacedRecordFile : public ::testing::TestWithParam<ReplacedFileCase> {};

TEST_P(ReplacedRecordFile, KeepsLinkAndMode) {
  namespace fs = std::filesystem;
  CatalogueDir dir;
  fs::create_directory(dir / "records");
  const fs::path file = GetParam().throughLink ? dir / "records" / "real.cry" : dir / "opere.cry";
  if (GetParam().throughLink) fs::create_symlink("records/real.cry", dir / "opere.cry");
  if (GetParam().oldMode) {
    writeFile(file, "earlier content");
    fs::permissions(file, static_cast<fs::perms>(*GetParam().oldMode));
  }
  writeFile(dir / "in.tsv", "RecordNumber\tT1\n7\tuno\n");

  const auto run = runCatalogo(dir.path(), {"cifra", "in.tsv"});
  ASSERT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(fs::is_symlink(dir / "opere.cry"), GetParam().throughLink);
  EXPECT_EQ(readFile(file).size(), kRecordSize);
  const mode_t mask = umask(0);
  umask(mask);
  const unsigned expected = GetParam().oldMode.value_or(0666 & ~mask);
  EXPECT_EQ(static_cast<unsigned>(fs::status(file).permissions()), expected);
  std::vector<std::string> left;
  for (const fs::path& folder : {dir.path(), dir / "records"}) {
    for (const auto& entry : fs::directory_iterator(folder))
      left.push_back(entry.path().filename());
  }
  std::sort(left.begin(), left.end());
  const std::vector<std::string> expectedFiles =
      GetParam().throughLink
          ? std::vector<std::string>{"in.tsv", "opere.cry", "real.cry", "records"}
          : std::vector<std::string>{"in.tsv", "opere.cry", "records"};
  EXPECT_EQ(left, expectedFiles);
}

INSTANTIATE_TEST_SUITE_P(Catalogo, ReplacedRecordFile,
                         ::testing::Values(ReplacedFileCase{"NewFile", false, std::nullopt},
                                           ReplacedFileCase{"PrivateFile", false, 0600},
                                           ReplacedFileCase{"GroupReadableFile", false, 0640},
                                           ReplacedFileCase{"FileBehindALink", true, 0604},
                                           ReplacedFileCase{"NewFileBehindALink", true,
                                                            std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// The lines of `decifra`'s output after its header.
std::vector<std::string> decodedLines(const CatalogueDir& dir) {
  const auto run = runCatalogo(dir.path(), {"decifra"});
  std::vector<std::string> lines;
  std::istringstream text(run.output);
  std::string line;
  std::getline(text, line);
  while (std::getline(text, line)) lines.push_back(line);
  return lines;
}

TEST(Catalogo, RepeatedNumbersPassWhenAllowedAndAreCounted) {
  CatalogueDir dir;
  writeFile(dir / "in.tsv", "RecordNumber\tT1\n7\ta\n8\tb\n7\tc\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "--ammetti-doppi", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.errorOutput,
            "1 numero di record ripetuto: l'indicizzatore terrà l'ultima riga di ciascuno\n");
  EXPECT_EQ(readFile(dir / "opere.cry").size(), 3 * kRecordSize);
}

TEST(Catalogo, StandardInputWithAByteOrderMarkIsRead) {
  CatalogueDir dir;
  writeFile(dir / "in.tsv", "\xEF\xBB\xBFRecordNumber\tT1\n12\tMinuit Chrétiens\n");
  const auto run = testing::runProgram(
      "/bin/sh", dir.path(), {"-c", std::string(CATALOGO_EXECUTABLE) + " cifra - < in.tsv"});
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(run.output, "1 record scritto in opere.cry\n");
  EXPECT_EQ(decodedLines(dir),
            std::vector<std::string>{"12\t\t\t\tMinuit Chrétiens\t\t\t\t\t\t\t\t\t\t\t"});
}

TEST(Catalogo, TypographicCharactersAreReplacedOnRequestAndCounted) {
  CatalogueDir dir;
  writeFile(
      dir / "in.tsv",
      "RecordNumber\tT1\tT4\n1\t\u201CAve\u201D \u2013 l\u2019alba\u2026\tn.\u202F5\u2009bis\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "--sostituisci", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(run.errorOutput, "7 caratteri tipografici sostituiti con uno Latin-1\n");
  EXPECT_EQ(
      decodedLines(dir),
      std::vector<std::string>{"1\t\t\t\t\"Ave\" - l'alba...\t\t\tn.\u00A05 bis\t\t\t\t\t\t\t\t"});
}

TEST(Catalogo, LettersBeyondLatin1AreTransliteratedOnRequestAndListed) {
  CatalogueDir dir;
  writeFile(dir / "in.tsv",
            "RecordNumber\tT1\tT2\n"
            "1\tA. Dvo\u0159\u00E1k\tSonatina\n"
            "2\tF. Liszt\t\u0152uvre, Erd\u0151, \u0141\u00F3d\u017A\n");
  const auto run = runCatalogo(dir.path(), {"cifra", "--translittera", "in.tsv"});
  EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
  EXPECT_EQ(run.errorOutput,
            "riga 2, campo T1: «A. Dvořák» scritto «A. Dvorák»\n"
            "riga 3, campo T2: «Œuvre, Erdő, Łódź» scritto «OEuvre, Erdö, Lódz»\n"
            "2 valori traslitterati in Latin-1 (elencati sopra)\n");
  EXPECT_EQ(run.output, "2 record scritti in opere.cry\n");
  EXPECT_EQ(decodedLines(dir),
            (std::vector<std::string>{
                "1\t\t\t\tA. Dvor\u00E1k\tSonatina\t\t\t\t\t\t\t\t\t\t",
                "2\t\t\t\tF. Liszt\tOEuvre, Erd\u00F6, L\u00F3dz\t\t\t\t\t\t\t\t\t\t"}));
}

TEST(Catalogo, ExportGivesBackTheRecordFileThroughCifra) {
  CatalogueDir dir;
  std::vector<PlainRecord> records = testing::smallCatalogue();
  records.push_back(PlainRecord().recordNumber(256).textField(7, "Zefiro").codeField(5, " 12 bis"));
  records.push_back(PlainRecord().recordNumber(-3).kindCode("A").flags('2', '1'));
  dir.prepare(records, testing::kSmallCatalogueStopWords);
  ASSERT_EQ(dir.run().exitStatus, 0);

  const auto exported = runCatalogo(dir.path(), {"esporta"});
  ASSERT_EQ(exported.exitStatus, 0) << exported.errorOutput;
  // In record-number order, not in the data database's key order.
  std::vector<std::string> numbers;
  std::istringstream lines(exported.output);
  std::string line;
  while (std::getline(lines, line)) numbers.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(numbers, (std::vector<std::string>{"RecordNumber", "-00003", "000001", "000002",
                                               "000003", "000004", "000256"}));

  // Records given back in that order: the same bytes as the sorted originals.
  std::sort(records.begin(), records.end(), [](const PlainRecord& a, const PlainRecord& b) {
    return recordNumberOf(DecodedRecord::fromPlain(a.bytes())) <
           recordNumberOf(DecodedRecord::fromPlain(b.bytes()));
  });
  writeFile(dir / "opere.tsv", exported.output);
  std::filesystem::remove(dir / "opere.cry");
  ASSERT_EQ(runCatalogo(dir.path(), {"cifra", "opere.tsv"}).exitStatus, 0);
  EXPECT_TRUE(readFile(dir / "opere.cry") == recordFileContent(records, buildScrambleKey()));
}

TEST(Catalogo, ExportReportsWhatIsNoRecordAndGoesOn) {
  CatalogueDir dir;
  std::vector<testing::StoredItem> items = {
      testing::storedItemOf(PlainRecord().recordNumber(1).textField(1, "uno")),
      {testing::recordKey(2), "short"},
      testing::storedItemOf(PlainRecord().recordNumber(3).textField(1, "tre"))};
  dir.dataDatabase(items);
  const auto run = runCatalogo(dir.path(), {"esporta"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, kHeader + "000001\t\t\t\tuno\t\t\t\t\t\t\t\t\t\t\t\n" +
                            "000003\t\t\t\ttre\t\t\t\t\t\t\t\t\t\t\t\n");
  EXPECT_EQ(run.errorOutput,
            "Record di lunghezza errata in opere.ddb, chiave 2\n"
            "1 elementi di opere.ddb non esportati su 3\n");
}

TEST(Catalogo, DecodeLeavesOutWhatTheTsvFormCannotCarry) {
  CatalogueDir dir;
  const std::vector<PlainRecord> records = {
      PlainRecord().recordNumber(1).textField(1, "uno"),
      PlainRecord().recordNumber(2).bytesAt(170, "X"),     // between the fields
      PlainRecord().recordNumber(3).textField(2, "a\tb"),  // a tab in a value
      PlainRecord().recordNumber(4).textField(1, std::string("a\0b", 3)),
      PlainRecord().recordNumber(5).textField(1, "cinque"),
  };
  writeFile(dir / "opere.cry", recordFileContent(records, buildScrambleKey()) + "0123456789");

  const auto run = runCatalogo(dir.path(), {"decifra"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, kHeader + "000001\t\t\t\tuno\t\t\t\t\t\t\t\t\t\t\t\n" +
                            "000005\t\t\t\tcinque\t\t\t\t\t\t\t\t\t\t\t\n");
  EXPECT_EQ(run.errorOutput,
            "record 2: byte 0x58 fuori dai campi (posizione 170)\n"
            "record 3, campo T2: byte 0x09 non rappresentabile\n"
            "record 4, campo T1: byte 0x00 non rappresentabile\n"
            "record 6: incompleto (10 byte)\n"
            "4 record non convertiti su 6\n");
}

// A file that opens but can't be read (/proc/self/mem fails every read from
// its start): the indexer's message, on standard error, never among the data.
struct ReadErrorCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* file;
  std::string output;
  std::string errorOutput;
  friend void PrintTo(const ReadErrorCase& c, std::ostream* os) { *os << c.name; }
};

class ReadErrors : public ::testing::TestWithParam<ReadErrorCase> {};

TEST_P(ReadErrors, GoToStandardError) {
  CatalogueDir dir;
  std::filesystem::create_symlink("/proc/self/mem", dir / GetParam().file);
  const auto run = runCatalogo(dir.path(), GetParam().arguments);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, GetParam().output);
  EXPECT_EQ(run.errorOutput, GetParam().errorOutput);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, ReadErrors,
    ::testing::Values(
        ReadErrorCase{"Decode",
                      {"decifra"},
                      "opere.cry",
                      kHeader,
                      "Errore durante la lettura di opere.cry\n"},
        ReadErrorCase{
            "Verify", {"verifica"}, "noused.txt", "", "Errore durante la lettura di noused.txt\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, DecodeWithoutRecordFileFails) {
  CatalogueDir dir;
  const auto run = runCatalogo(dir.path(), {"decifra"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, "Errore lettura opere.cry\n");
}

}  // namespace
}  // namespace indicizza
