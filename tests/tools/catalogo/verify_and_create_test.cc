// catalogo verifica and catalogo crea-db.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "index_store/index_database.h"
#include "support/btree_damage.h"
#include "tools/catalogo/catalogo_run.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::readFile;
using testing::runCatalogo;
using testing::StoredItem;

std::string storedEntries(const std::vector<IndexEntry>& entries) {
  std::string data;
  for (const IndexEntry& entry : entries) {
    const StoredEntry stored = storedEntryOf(entry);
    data.append(stored.begin(), stored.end());
  }
  return data;
}

// Rewrites opere.idb of `dir` after `change` has edited its items.
template <typename Change>
void editIndex(const CatalogueDir& dir, Change change) {
  std::vector<StoredItem> items = dir.indexItems();
  change(items);
  std::filesystem::remove(dir / "opere.idb");
  testing::loadDatabase(dir / "opere.idb", items);
}

std::string& dataOf(std::vector<StoredItem>& items, const std::string& term) {
  for (auto& item : items) {
    if (item.first == term) return item.second;
  }
  throw std::runtime_error("no term " + term);
}

TEST(Catalogo, VerifyPassesOnAFreshIndexAndTouchesNoFile) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  const std::string data = readFile(dir / "opere.ddb");
  const std::string index = readFile(dir / "opere.idb");
  const auto run = runCatalogo(dir.path(), {"verifica"});
  // Words: J S BACH SONATA G PARTITA W A MOZART FACILE ADAM MINUIT CHRéTIENS;
  // codes BWV1001 K545; 13 + 2 terms and 2+2+2+2+1+1+1+2+1+1+1+1+1 + 1+1 entries.
  EXPECT_EQ(run.output, "Record: 4, termini: 15, voci: 20, discordanze: 0\n");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(readFile(dir / "opere.ddb") == data);
  EXPECT_TRUE(readFile(dir / "opere.idb") == index);
}

// A database with another hard link is named on standard error: a run
// replaces it, and the other name keeps the file of before. The check and
// its exit status are as they would be.
struct HardLinkCase {
  const char* name;
  std::vector<const char*> linked;
  std::string errors;
  friend void PrintTo(const HardLinkCase& c, std::ostream* os) { *os << c.name; }
};

class VerifyWarnsOfHardLinks : public ::testing::TestWithParam<HardLinkCase> {};

TEST_P(VerifyWarnsOfHardLinks, AndChecksAsEver) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::filesystem::create_directory(dir / "copie");
  for (const char* name : GetParam().linked) {
    std::filesystem::create_hard_link(dir / name, dir / "copie" / name);
  }
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.output, "Record: 4, termini: 15, voci: 20, discordanze: 0\n");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.errorOutput, GetParam().errors);
}

std::string warningOf(const std::string& name) {
  return "Attenzione: " + name +
         " ha 2 collegamenti fisici: l'indicizzatore lo sostituisce con un file nuovo, e gli altri "
         "nomi restano al file di prima\n";
}

INSTANTIATE_TEST_SUITE_P(Catalogo, VerifyWarnsOfHardLinks,
                         ::testing::Values(HardLinkCase{"None", {}, ""},
                                           HardLinkCase{
                                               "Both",
                                               {"opere.ddb", "opere.idb"},
                                               warningOf("opere.ddb") + warningOf("opere.idb")}),
                         [](const auto& info) { return std::string(info.param.name); });

// A damaged or foreign data database is refused: a walk over it could end
// early (and the check pass over half the catalogue) or never end.
struct RefusedDataCase {
  const char* name;
  void (*damage)(const std::filesystem::path&);
  const char* message;
  friend void PrintTo(const RefusedDataCase& c, std::ostream* os) { *os << c.name; }
};

class VerifyRefuses : public ::testing::TestWithParam<RefusedDataCase> {};

TEST_P(VerifyRefuses, ADataDatabaseItCannotTrust) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::vector<StoredItem> items;
  for (const auto& record : testing::numberedRecords(1, 3000))
    items.push_back(testing::storedItemOf(record));
  std::filesystem::remove(dir / "opere.ddb");
  testing::loadDatabase(dir / "opere.ddb", items, "btree",
                        GetParam().damage ? "" : "duplicates=1\n");
  if (GetParam().damage) GetParam().damage(dir / "opere.ddb");
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.errorOutput, std::string(GetParam().message) + "\n");
  EXPECT_EQ(run.exitStatus, 2);
}

const char* const kDamaged = "Errore lettura opere.ddb: file danneggiato";
INSTANTIATE_TEST_SUITE_P(
    Catalogo, VerifyRefuses,
    ::testing::Values(RefusedDataCase{"LeafLinkedToItself",
                                      [](const std::filesystem::path& p) {
                                        const auto leaf = testing::leafChain(p).at(5);
                                        testing::setLinks(p, leaf, leaf, leaf);
                                      },
                                      kDamaged},
                      RefusedDataCase{"ChainCutShort",
                                      [](const std::filesystem::path& p) {
                                        const auto chain = testing::leafChain(p);
                                        testing::setLinks(p, chain[10], chain[9], 0);
                                        testing::setLinks(p, chain[11], 0, chain[12]);
                                      },
                                      kDamaged},
                      RefusedDataCase{
                          "DuplicateKeys", nullptr,
                          "opere.ddb non è un database dell'indicizzatore (chiavi doppie, "
                          "sotto-database o altro formato)"}),
    [](const auto& info) { return std::string(info.param.name); });

// esporta walks opere.ddb as verifica does: a damaged file is refused before
// any record is written, never exported in part.
TEST(Catalogo, ExportRefusesADamagedDataDatabase) {
  CatalogueDir dir;
  std::vector<StoredItem> items;
  for (const auto& record : testing::numberedRecords(1, 3000))
    items.push_back(testing::storedItemOf(record));
  testing::loadDatabase(dir / "opere.ddb", items);
  const auto chain = testing::leafChain(dir / "opere.ddb");
  testing::setLinks(dir / "opere.ddb", chain[10], chain[9], 0);
  testing::setLinks(dir / "opere.ddb", chain[11], 0, chain[12]);
  const auto run = runCatalogo(dir.path(), {"esporta"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, std::string(kDamaged) + "\n");
}

TEST(Catalogo, VerifyFindsTheEntryLeftByAReplacedRecord) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  // Record 3 is now by another composer: W, MOZART and FACILE are no longer
  // produced, so the second run leaves their old arrays in the index (A and
  // SONATA are rewritten with the record's new entries).
  std::vector<PlainRecord> records = testing::smallCatalogue();
  records[2].textField(1, "A. Vivaldi").textField(4, "Sonata");
  dir.records(records);
  ASSERT_EQ(dir.run().exitStatus, 0);

  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.output,
            "Voce superata: FACILE -> 3 (il record non contiene il termine)\n"
            "Voce superata: MOZART -> 3 (il record non contiene il termine)\n"
            "Voce superata: W -> 3 (il record non contiene il termine)\n"
            "Record: 4, termini: 16, voci: 21, discordanze: 3\n");
}

TEST(Catalogo, VerifyNamesEntriesOfWordsSinceMadeStopWords) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  dir.stopWords("IN\nPARTITA\n");
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.output.find("Voce di una parola di noused.txt: PARTITA -> 2\n"), std::string::npos)
      << run.output;
}

struct PlantedCase {
  const char* name;
  void (*plant)(std::vector<StoredItem>&);
  std::string report;
};

class PlantedFaults : public ::testing::TestWithParam<PlantedCase> {};

TEST_P(PlantedFaults, AreReportedWithTheTotals) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  editIndex(dir, GetParam().plant);
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.output.substr(0, run.output.find('\n') + 1), GetParam().report + "\n");
  EXPECT_NE(run.output.find("discordanze: 1\n"), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, PlantedFaults,
    ::testing::Values(
        PlantedCase{"EntryOfAnAbsentRecord",
                    [](auto& items) {
                      dataOf(items, "PARTITA") += storedEntries({{77, {{'A', 'L'}}}});
                    },
                    "Voce senza record: PARTITA -> 77"},
        PlantedCase{"MissingEntry",
                    [](auto& items) {
                      dataOf(items, "BACH") = storedEntries({{1, {{'A', 'R'}}}});
                    },
                    "Voce mancante: BACH -> 2"},
        PlantedCase{"MissingTerm",
                    [](auto& items) {
                      std::erase_if(items, [](const auto& item) { return item.first == "K545"; });
                    },
                    "Voce mancante: K545 -> 3"},
        PlantedCase{"WrongKindCode",
                    [](auto& items) {
                      dataOf(items, "PARTITA") = storedEntries({{2, {{'P', 'F'}}}});
                    },
                    "Tipo errato: PARTITA -> 2 (PF, nel record pF)"},
        PlantedCase{"TermNoRecordCarries",
                    [](auto& items) {
                      items.push_back({"ZEFIRO", storedEntries({{1, {{'A', 'R'}}}})});
                    },
                    "Voce superata: ZEFIRO -> 1 (il record non contiene il termine)"},
        // A term that would clear the screen is shown escaped.
        PlantedCase{"TermWithControlBytes",
                    [](auto& items) {
                      items.push_back({"Z\x1b[2J\x9b", storedEntries({{1, {{'A', 'R'}}}})});
                    },
                    "Voce superata: Z\\x1b[2J\\x9b -> 1 (il record non contiene "
                    "il termine)"},
        PlantedCase{"DataNotWholeEntries", [](auto& items) { dataOf(items, "ADAM") += "xyz"; },
                    "Dati di lunghezza errata: ADAM (11 byte)"}),
    [](const auto& info) { return std::string(info.param.name); });

// An opere.idb that the library can't open: catalogo's own message first,
// then what the library said, on one line however many it wrote.
struct LibraryDetailCase {
  const char* name;
  void (*make)(const std::filesystem::path&);
  const char* start;  // the line after the message starts with this
  const char* end;    // and ends with this
  friend void PrintTo(const LibraryDetailCase& c, std::ostream* os) { *os << c.name; }
};

class VerifyNamesTheLibrarysDetail : public ::testing::TestWithParam<LibraryDetailCase> {};

TEST_P(VerifyNamesTheLibrarysDetail, AfterItsOwnMessage) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::filesystem::remove(dir / "opere.idb");
  GetParam().make(dir / "opere.idb");
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.exitStatus, 2);
  const std::string message = "Errore apertura opere.idb: Invalid argument\n";
  ASSERT_TRUE(run.errorOutput.starts_with(message)) << run.errorOutput;
  const std::string detail = run.errorOutput.substr(message.size());
  EXPECT_TRUE(detail.starts_with(GetParam().start)) << detail;
  EXPECT_TRUE(detail.ends_with(GetParam().end)) << detail;
  EXPECT_EQ(std::count(detail.begin(), detail.end(), '\n'), 1) << detail;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, VerifyNamesTheLibrarysDetail,
    ::testing::Values(
        LibraryDetailCase{"HashDatabase",
                          [](const std::filesystem::path& p) {
                            testing::loadDatabase(p, {{"SONATA", std::string(8, '\0')}}, "hash");
                          },
                          "Dettaglio della libreria: BDB0641 __db_meta_setup: opere.idb: "
                          "unexpected file type or format\n",
                          ": unexpected file type or format\n"},
        // A line for each page it tries, then the count of the others.
        LibraryDetailCase{"Encrypted",
                          [](const std::filesystem::path& p) {
                            testing::loadEncryptedDatabase(p, {{"SONATA", std::string(8, '\0')}});
                          },
                          "Dettaglio della libreria: BDB0196 Encrypted checksum: no encryption "
                          "key specified (e altre ",
                          " righe della libreria)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Catalogo, VerifyWithoutStopWordFileFails) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::filesystem::remove(dir / "noused.txt");
  const auto run = runCatalogo(dir.path(), {"verifica"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, "File noused.txt indefinito\n");
}

// A noused.txt that is no regular file is refused before it is opened:
// /dev/zero would be read until memory ran out, a named pipe would wait for
// a writer for ever.
struct StopWordFileCase {
  const char* name;
  void (*make)(const std::filesystem::path&);
};

class IrregularStopWordFile : public ::testing::TestWithParam<StopWordFileCase> {};

TEST_P(IrregularStopWordFile, IsRefused) {
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::filesystem::remove(dir / "noused.txt");
  GetParam().make(dir / "noused.txt");
  const auto run =
      testing::runProgram(CATALOGO_EXECUTABLE, dir.path(), {"verifica"}, std::chrono::seconds(30));
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, "noused.txt non è un file regolare\n");
}

INSTANTIATE_TEST_SUITE_P(
    Catalogo, IrregularStopWordFile,
    ::testing::Values(
        StopWordFileCase{
            "LinkToDevZero",
            [](const auto& path) { std::filesystem::create_symlink("/dev/zero", path); }},
        StopWordFileCase{"NamedPipe",
                         [](const auto& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
        StopWordFileCase{"Directory",
                         [](const auto& path) { std::filesystem::create_directory(path); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Memory that runs out (here a huge noused.txt read whole under a low
// address-space limit) ends the command with a message, not an abort.
TEST(Catalogo, RunningOutOfMemoryIsAFailureWithAMessage) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  constexpr const char* kAddressSpaceKilobytes = "400000";
  constexpr std::uintmax_t kStopWordFileBytes = std::uintmax_t{2} << 30;  // sparse
  CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  std::filesystem::resize_file(dir / "noused.txt", kStopWordFileBytes);
  const auto run = testing::runProgram(
      "/bin/sh", dir.path(),
      {"-c", std::string("ulimit -v ") + kAddressSpaceKilobytes + " && exec \"$0\" verifica",
       CATALOGO_EXECUTABLE});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errorOutput, "Memoria insufficiente\n");
}

TEST(Catalogo, CreatedDataDatabaseIsAnEmptyBtreeTheIndexerTakes) {
  CatalogueDir dir;
  // What a create killed midway by an earlier version left: the library's
  // own temporary name, on which a create used to wait 100 s and fail.
  testing::writeFile(dir / "__db.opere.ddb", "");
  const auto run = runCatalogo(dir.path(), {"crea-db"});
  EXPECT_EQ(run.output, "Creato opere.ddb vuoto\n");
  EXPECT_EQ(run.exitStatus, 0);
  // No working copy is left beside it.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"__db.opere.ddb", "opere.ddb"}));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.ddb"));
  EXPECT_TRUE(dir.dataItems().empty());
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(std::filesystem::status(dir / "opere.ddb").permissions(),
            static_cast<std::filesystem::perms>(0664 & ~mask));

  dir.stopWords("");
  dir.records(testing::smallCatalogue());
  EXPECT_EQ(dir.run().exitStatus, 0);
}

class ExistingDataDatabase : public ::testing::TestWithParam<const char*> {};

TEST_P(ExistingDataDatabase, IsLeftAlone) {
  CatalogueDir dir;
  const std::string kind = GetParam();
  if (kind == "file") testing::writeFile(dir / "opere.ddb", "not a database");
  if (kind == "directory") std::filesystem::create_directory(dir / "opere.ddb");
  if (kind == "dangling-link") std::filesystem::create_symlink("nowhere", dir / "opere.ddb");
  const auto run = runCatalogo(dir.path(), {"crea-db"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.errorOutput, "opere.ddb esiste già: non modificato\n");
  if (kind == "file") {
    EXPECT_EQ(readFile(dir / "opere.ddb"), "not a database");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

INSTANTIATE_TEST_SUITE_P(Catalogo, ExistingDataDatabase,
                         ::testing::Values("file", "directory", "dangling-link"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
}  // namespace indicizza
