// Hostile input files, end to end: each case damages or replaces one file of
// an otherwise good catalogue, runs the real indexer and checks the whole
// transcript, the exit status and, where it matters, what the files hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string_view>

#include "base/btree_pages.h"
#include "index_store/index_database.h"
#include "support/btree_damage.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::numberedRecords;
using testing::recordKey;
using testing::StoredItem;
using testing::storedItemOf;
using testing::writeFile;

const std::string kShortRecord = "Record con lunghezza diversa da quella stabilita\n";
const std::string kEmptyRunEnd = "\n\n\nCreazione db indice\n\nFine scansione\n";
const std::string kWritePhaseOpenError = "Creazione db indice\nOpen error\n";

// A catalogue of one record with the words SONATA, AAAB, ZZZZ, IL and A.
PlainRecord wordRecord() {
  return PlainRecord()
      .recordNumber(1)
      .kindCode("AB")
      .textField(1, "A IL SONATA")
      .textField(2, "AAAB ZZZZ");
}

// The terms of the index database, in key order.
std::vector<std::string> indexTerms(const CatalogueDir& dir) {
  std::vector<std::string> terms;
  for (const auto& [term, data] : dir.indexItems()) terms.push_back(term);
  return terms;
}

// Four-letter upper-case word number `n`: AAAA, AAAB, ..., ZZZZ.
std::string fourLetterWord(int n) {
  std::string word(4, 'A');
  for (int i = 3; i >= 0; --i, n /= 26)
    word[static_cast<std::size_t>(i)] = static_cast<char>('A' + n % 26);
  return word;
}

// A data database of 300 records (about fifty leaf pages), cut to the size
// `cut` gives for its full size, the way a copy interrupted by a full disk or
// a crash leaves it.
constexpr std::uintmax_t kPageSize = 4096;  // the library's default
void cutDataDatabase(const CatalogueDir& dir, std::uintmax_t (*cut)(std::uintmax_t)) {
  std::vector<StoredItem> items;
  for (const auto& record : numberedRecords(1, 300)) items.push_back(storedItemOf(record));
  testing::loadDatabase(dir / "opere.ddb", items);
  const auto path = dir / "opere.ddb";
  std::filesystem::resize_file(path, cut(std::filesystem::file_size(path)));
}

// Half its pages, cut at a page boundary: the library still opens the file.
std::uintmax_t halfItsPages(std::uintmax_t size) { return size / 2 / kPageSize * kPageSize; }
std::uintmax_t onlyTheMetadataPage(std::uintmax_t) { return kPageSize; }
std::uintmax_t insideTheFourthPage(std::uintmax_t) { return kPageSize * 3 + 100; }

// A record of an earlier run, with a word of its own: ZEFIRO.
StoredItem earlierItem() {
  return storedItemOf(PlainRecord().recordNumber(2).kindCode("AB").textField(1, "ZEFIRO"));
}

// A single stored record whose 525 file bytes are all `byte`: the record
// reads as the key itself (or its complement); it is stored and indexed like
// any other, under whatever number and kind code those bytes spell.
void checkSingleRecordOfBytes(const CatalogueDir& dir, char byte) {
  const auto data = dir.dataItems();
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0].second, std::string(kStoredRecordSize, byte));
  EXPECT_TRUE(testing::verifyDatabase(dir / "opere.idb"));
  const auto index = dir.indexItems();
  EXPECT_FALSE(index.empty());
  for (const auto& [term, entry] : index) {
    ASSERT_EQ(entry.size(), 8u);
    EXPECT_EQ(entry.substr(0, 4), data[0].first) << "the entry carries the record's own key";
    EXPECT_EQ(entry.substr(6), std::string(2, '\0'));
  }
}

// Whether `text` is `pattern`, each '*' of which stands for any bytes.
bool matches(std::string_view text, std::string_view pattern) {
  const std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) return text == pattern;
  if (!text.starts_with(pattern.substr(0, star))) return false;
  for (std::size_t at = star; at <= text.size(); ++at) {
    if (matches(text.substr(at), pattern.substr(star + 1))) return true;
  }
  return false;
}

struct HostileCase {
  const char* name;
  // Damages a catalogue that holds wordRecord(), no stop word and an empty
  // data database.
  std::function<void(CatalogueDir&)> damage;
  std::string expected;
  int exitStatus;
  std::function<void(const CatalogueDir&)> check = nullptr;
  std::string errors = "";  // standard error, as matches() takes a pattern
  friend void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }
};

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, GetTheirMessageAndStatus) {
  CatalogueDir dir;
  dir.prepare({wordRecord()});
  GetParam().damage(dir);
  const auto run = dir.run();
  EXPECT_EQ(run.output, GetParam().expected);
  EXPECT_EQ(run.exitStatus, GetParam().exitStatus);
  EXPECT_TRUE(matches(run.errorOutput, GetParam().errors)) << run.errorOutput;
  if (GetParam().check) GetParam().check(dir);
}

INSTANTIATE_TEST_SUITE_P(
    RecordFile, HostileFiles,
    ::testing::Values(
        HostileCase{"OneByte", [](CatalogueDir& d) { writeFile(d / "opere.cry", "X"); },
                    "Inizio scansione\n" + kShortRecord + "Errore costruzione DB\n", 1,
                    [](const CatalogueDir& d) {
                      EXPECT_TRUE(d.dataItems().empty());
                      EXPECT_FALSE(std::filesystem::exists(d / "opere.idb"));
                    }},
        HostileCase{
            "OneByteShortOfARecord",
            [](CatalogueDir& d) { writeFile(d / "opere.cry", std::string(kRecordSize - 1, 'X')); },
            "Inizio scansione\n" + kShortRecord + "Errore costruzione DB\n", 1,
            [](const CatalogueDir& d) { EXPECT_TRUE(d.dataItems().empty()); }},
        HostileCase{
            "OneRecordOfZeroBytes",
            [](CatalogueDir& d) { writeFile(d / "opere.cry", std::string(kRecordSize, '\0')); },
            "Inizio scansione" + kEmptyRunEnd, 0,
            [](const CatalogueDir& d) { checkSingleRecordOfBytes(d, '\0'); }},
        HostileCase{
            "OneRecordOfFFBytes",
            [](CatalogueDir& d) { writeFile(d / "opere.cry", std::string(kRecordSize, '\xFF')); },
            "Inizio scansione" + kEmptyRunEnd, 0,
            [](const CatalogueDir& d) { checkSingleRecordOfBytes(d, '\xFF'); }},
        HostileCase{"Directory",
                    [](CatalogueDir& d) {
                      std::filesystem::remove(d / "opere.cry");
                      std::filesystem::create_directory(d / "opere.cry");
                    },
                    "Errore lettura opere.cry\n", 1}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    StopWordFile, HostileFiles,
    ::testing::Values(
        // AAAA to FRYD: AAAB stops its word, ZZZZ is not in the list.
        HostileCase{
            "HundredThousandLines",
            [](CatalogueDir& d) {
              std::string words;
              for (int n = 0; n < 100000; ++n) words += fourLetterWord(n) + "\n";
              d.stopWords(words);
            },
            "Inizio scansione" + kEmptyRunEnd, 0,
            [](const CatalogueDir& d) {
              EXPECT_EQ(indexTerms(d), (std::vector<std::string>{"A", "IL", "SONATA", "ZZZZ"}));
            }},
        // A line far beyond any word is taken whole and stops nothing; the
        // line after it still counts.
        HostileCase{
            "OneMegabyteLine",
            [](CatalogueDir& d) { d.stopWords(std::string(1 << 20, 'A') + "\nIL\n"); },
            "Inizio scansione" + kEmptyRunEnd, 0,
            [](const CatalogueDir& d) {
              EXPECT_EQ(indexTerms(d), (std::vector<std::string>{"A", "AAAB", "SONATA", "ZZZZ"}));
            }},
        HostileCase{"ZeroBytesOnly", [](CatalogueDir& d) { d.stopWords(std::string(4096, '\0')); },
                    "Inizio scansione" + kEmptyRunEnd, 0,
                    [](const CatalogueDir& d) {
                      EXPECT_EQ(indexTerms(d),
                                (std::vector<std::string>{"A", "AAAB", "IL", "SONATA", "ZZZZ"}));
                    }},
        HostileCase{"Directory",
                    [](CatalogueDir& d) {
                      std::filesystem::remove(d / "noused.txt");
                      std::filesystem::create_directory(d / "noused.txt");
                    },
                    "File noused.txt indefinito\n", 1}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    DataDatabase, HostileFiles,
    ::testing::Values(
        HostileCase{"HalfItsPagesAndNoRecordToLoad",
                    [](CatalogueDir& d) {
                      cutDataDatabase(d, halfItsPages);
                      d.records({});
                    },
                    "Inizio scansione\nErrore lettura opere.ddb\n", 1},
        // The missing pages are noticed before any record is stored.
        HostileCase{"HalfItsPagesAndItsRecordsToLoad",
                    [](CatalogueDir& d) {
                      cutDataDatabase(d, halfItsPages);
                      d.records(numberedRecords(1, 300));
                    },
                    "Inizio scansione\nErrore lettura opere.ddb\n", 1},
        HostileCase{"OnlyItsMetadataPage",
                    [](CatalogueDir& d) {
                      cutDataDatabase(d, onlyTheMetadataPage);
                      d.records({});
                    },
                    "Inizio scansione\nErrore lettura opere.ddb\n", 1},
        HostileCase{"CutInsideAPage",
                    [](CatalogueDir& d) { cutDataDatabase(d, insideTheFourthPage); },
                    "Inizio scansione\nopere.ddb open error\n", 1},
        // Standard error says why.
        HostileCase{"Encrypted",
                    [](CatalogueDir& d) {
                      std::filesystem::remove(d / "opere.ddb");
                      testing::loadEncryptedDatabase(d / "opere.ddb", {});
                      std::filesystem::copy_file(d / "opere.ddb", d / "before.ddb");
                    },
                    "Inizio scansione\nopere.ddb open error\n", 1,
                    [](const CatalogueDir& d) {
                      EXPECT_EQ(testing::readFile(d / "opere.ddb"),
                                testing::readFile(d / "before.ddb"));
                    },
                    encryptedFileSentence("opere.ddb") + "\n"},
        // Pages with the library's checksums, which it keeps
        // writing: the new records are stored beside the earlier.
        HostileCase{
            "Checksums",
            [](CatalogueDir& d) {
              std::filesystem::remove(d / "opere.ddb");
              testing::loadDatabase(d / "opere.ddb", {earlierItem()}, "btree", "chksum=1\n");
            },
            "Inizio scansione" + kEmptyRunEnd, 0,
            [](const CatalogueDir& d) {
              EXPECT_EQ(d.dataItems(),
                        (std::vector<StoredItem>{storedItemOf(wordRecord()), earlierItem()}));
              EXPECT_TRUE(testing::verifyDatabase(d / "opere.ddb"));
              EXPECT_EQ(checkBtreeFile(d / "opere.ddb").code(), Status::Code::kOk);
              EXPECT_EQ(testing::readFile(d / "opere.ddb").at(26), '\1') << "the checksums flag";
              EXPECT_EQ(indexTerms(d).size(), 6u);
            }},
        // Zero-length keys and data are legal B-tree items; neither is a
        // record.
        HostileCase{"ItemsOfZeroBytes",
                    [](CatalogueDir& d) {
                      d.dataDatabase({{"", ""}, {recordKey(5), ""}});
                      d.records({PlainRecord().recordNumber(3).textField(1, "SONATA")});
                    },
                    "Inizio scansione\n\n"
                    "Record di lunghezza errata in opere.ddb, chiave 0x: ignorato\n"
                    "Record di lunghezza errata in opere.ddb, chiave 5: ignorato\n"
                    "\nCreazione db indice\n\nFine scansione\n",
                    0,
                    [](const CatalogueDir& d) {
                      EXPECT_EQ(indexTerms(d), std::vector<std::string>{"SONATA"});
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// An index database made by `make`, and kept aside as it was (before.idb).
std::function<void(CatalogueDir&)> earlierIndex(void (*make)(const std::filesystem::path&)) {
  return [make](CatalogueDir& d) {
    make(d / "opere.idb");
    std::filesystem::copy_file(d / "opere.idb", d / "before.idb");
  };
}

// A run stopped before the load: neither database changed.
void bothUntouched(const CatalogueDir& d) {
  EXPECT_TRUE(d.dataItems().empty());
  EXPECT_EQ(testing::readFile(d / "opere.idb"), testing::readFile(d / "before.idb"));
  EXPECT_FALSE(std::filesystem::exists(d / "opere.ddb.nuovo"));
  EXPECT_FALSE(std::filesystem::exists(d / "opere.idb.nuovo"));
}

const std::vector<StoredItem> kEarlierTerm = {{"ZEFIRO", std::string(8, '\0')}};
const std::string kEarlyOpenError = "Inizio scansione\nOpen error\n";
const std::string kEarlyDamaged = "Inizio scansione\n" + std::string(kIndexDatabaseDamaged) + "\n";
INSTANTIATE_TEST_SUITE_P(
    IndexDatabase, HostileFiles,
    ::testing::Values(
        // What the library can't open as a B-tree gets the write phase's
        // message for it, but before the load, which is then left undone (a
        // hash database: write_index_test).
        HostileCase{"PlainText",
                    earlierIndex([](const auto& p) { writeFile(p, std::string(8192, 'x')); }),
                    kEarlyOpenError, 1, bothUntouched},
        // Standard error says why.
        HostileCase{"Encrypted", earlierIndex([](const auto& p) {
                      testing::loadEncryptedDatabase(p, kEarlierTerm);
                    }),
                    kEarlyOpenError, 1, bothUntouched, encryptedFileSentence("opere.idb") + "\n"},
        // A B-tree the library opens, of a kind the indexer never makes
        // (sub-databases go the same way): no index of the indexer, which the
        // next run builds anew once it is removed.
        HostileCase{"DuplicateKeys", earlierIndex([](const auto& p) {
                      testing::loadDatabase(p, kEarlierTerm, "btree", "duplicates=1\n");
                    }),
                    kEarlyDamaged, 1, bothUntouched},
        // Pages with the library's checksums: read like any others; the new
        // index is written without them.
        HostileCase{"Checksums",
                    [](CatalogueDir& d) {
                      testing::loadDatabase(d / "opere.idb", kEarlierTerm, "btree", "chksum=1\n");
                    },
                    "Inizio scansione" + kEmptyRunEnd, 0,
                    [](const CatalogueDir& d) {
                      EXPECT_EQ(indexTerms(d), (std::vector<std::string>{
                                                   "A", "AAAB", "IL", "SONATA", "ZEFIRO", "ZZZZ"}));
                      EXPECT_TRUE(testing::verifyDatabase(d / "opere.idb"));
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// A file of another kind in the place of `p`: a named pipe, which a plain
// open would wait on for ever; a device, read for ever or for nothing; a
// loop of symbolic links; a folder.
void namedPipeAt(const std::filesystem::path& p) {
  std::filesystem::remove(p);
  ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
}
void deviceAt(const std::filesystem::path& p, const char* device) {
  std::filesystem::remove(p);
  std::filesystem::create_symlink(device, p);
}
void linkLoopAt(const std::filesystem::path& p) {
  std::filesystem::remove(p);
  const std::string other = p.filename().string() + ".giro";
  std::filesystem::create_symlink(other, p);
  std::filesystem::create_symlink(p.filename(), p.parent_path() / other);
}
void folderAt(const std::filesystem::path& p) {
  std::filesystem::remove(p);
  std::filesystem::create_directory(p);
}

// A run stopped before anything was loaded.
void nothingLoaded(const CatalogueDir& d) { EXPECT_TRUE(d.dataItems().empty()); }

// Each is refused at once, naming the file (by the message of a file that
// can't be opened), and the index's before the load, while both databases
// are as they were.
INSTANTIATE_TEST_SUITE_P(
    FilesOfAnotherKind, HostileFiles,
    ::testing::Values(
        HostileCase{"StopWordsNamedPipe", [](CatalogueDir& d) { namedPipeAt(d / "noused.txt"); },
                    "File noused.txt indefinito\n", 1},
        HostileCase{"StopWordsDevice",
                    [](CatalogueDir& d) { deviceAt(d / "noused.txt", "/dev/null"); },
                    "File noused.txt indefinito\n", 1},
        HostileCase{"RecordFileDevice",
                    [](CatalogueDir& d) { deviceAt(d / "opere.cry", "/dev/null"); },
                    "Errore lettura opere.cry\n", 1},
        HostileCase{"DataDatabaseNamedPipe", [](CatalogueDir& d) { namedPipeAt(d / "opere.ddb"); },
                    "Inizio scansione\nopere.ddb open error\n", 1},
        HostileCase{"IndexDatabaseNamedPipe", [](CatalogueDir& d) { namedPipeAt(d / "opere.idb"); },
                    kEarlyOpenError, 1, nothingLoaded},
        HostileCase{"IndexDatabaseDevice",
                    [](CatalogueDir& d) { deviceAt(d / "opere.idb", "/dev/zero"); },
                    kEarlyOpenError, 1, nothingLoaded},
        HostileCase{"IndexDatabaseLinkLoop", [](CatalogueDir& d) { linkLoopAt(d / "opere.idb"); },
                    kEarlyOpenError, 1, nothingLoaded},
        HostileCase{"IndexDatabaseFolder", [](CatalogueDir& d) { folderAt(d / "opere.idb"); },
                    kEarlyOpenError, 1, nothingLoaded}),
    [](const auto& info) { return std::string(info.param.name); });

// A data database of 3000 records (three levels of pages), damaged by
// `damage`; the run must refuse it before storing anything, and leave it as
// it was.
std::function<void(CatalogueDir&)> damagedData(void (*damage)(const std::filesystem::path&)) {
  return [damage](CatalogueDir& d) {
    std::vector<StoredItem> items;
    for (const auto& record : numberedRecords(1, 3000)) items.push_back(storedItemOf(record));
    d.dataDatabase(items);
    damage(d / "opere.ddb");
    std::filesystem::copy_file(d / "opere.ddb", d / "before.ddb");
  };
}

void dataUntouched(const CatalogueDir& d) {
  EXPECT_EQ(testing::readFile(d / "opere.ddb"), testing::readFile(d / "before.ddb"));
  EXPECT_FALSE(std::filesystem::exists(d / "opere.ddb.nuovo"));
}

std::uint32_t middleLeaf(const std::filesystem::path& p) {
  const auto chain = testing::leafChain(p);
  return chain[chain.size() / 2];
}

// An index database of 3000 terms (three levels of pages).
void loadLargeIndex(CatalogueDir& d) {
  std::vector<StoredItem> terms;
  for (int n = 0; n < 3000; ++n) terms.emplace_back(fourLetterWord(n), std::string(8, '\0'));
  testing::loadDatabase(d / "opere.idb", terms);
}

const std::string kDataDamaged = "Inizio scansione\nErrore lettura opere.ddb\n";
INSTANTIATE_TEST_SUITE_P(
    DamagedDatabases, HostileFiles,
    ::testing::Values(
        HostileCase{"ZeroedFirstLeaf", damagedData([](const auto& p) {
                      testing::zeroPage(p, testing::leafChain(p).front());
                    }),
                    kDataDamaged, 1, dataUntouched},
        HostileCase{"ZeroedInternalPage", damagedData([](const auto& p) {
                      testing::zeroPage(p,
                                        testing::pagesOfType(p, testing::kInternalPageType).back());
                    }),
                    kDataDamaged, 1, dataUntouched},
        HostileCase{"LeafLinkedToItself", damagedData([](const auto& p) {
                      const auto leaf = middleLeaf(p);
                      testing::setLinks(p, leaf, leaf, leaf);
                    }),
                    kDataDamaged, 1, dataUntouched},
        // Two pieces whose links agree: the library's puts would loop.
        HostileCase{"LeafChainCutInTwo", damagedData([](const auto& p) {
                      const auto chain = testing::leafChain(p);
                      const auto cut = chain.size() / 2;
                      testing::setLinks(p, chain[cut], chain[cut - 1], 0);
                      testing::setLinks(p, chain[cut + 1], 0, chain[cut + 2]);
                    }),
                    kDataDamaged, 1, dataUntouched},
        // One record per number: a file that allows more is refused.
        HostileCase{"DataWithDuplicateKeys",
                    [](CatalogueDir& d) {
                      std::filesystem::remove(d / "opere.ddb");
                      testing::loadDatabase(d / "opere.ddb", {storedItemOf(wordRecord())}, "btree",
                                            "duplicates=1\n");
                    },
                    "Inizio scansione\nopere.ddb open error\n", 1},
        HostileCase{"ZeroedLeafOfTheIndex",
                    [](CatalogueDir& d) {
                      loadLargeIndex(d);
                      testing::zeroPage(d / "opere.idb", middleLeaf(d / "opere.idb"));
                    },
                    "Inizio scansione\nopere.idb danneggiato: rimuoverlo per ricostruirlo\n", 1,
                    [](const CatalogueDir& d) { EXPECT_TRUE(d.dataItems().empty()); }},
        // Keys out of order (the page check does not read keys) are found
        // when the new index is written from the file as it was.
        HostileCase{"IndexKeysOutOfOrder",
                    [](CatalogueDir& d) {
                      loadLargeIndex(d);
                      testing::swapFirstTwoKeys(d / "opere.idb", middleLeaf(d / "opere.idb"));
                      std::filesystem::copy_file(d / "opere.idb", d / "before.idb");
                    },
                    "Inizio scansione\n\n\nCreazione db indice\n" +
                        std::string(kIndexDatabaseDamaged) + "\n",
                    1,
                    [](const CatalogueDir& d) {
                      EXPECT_EQ(testing::readFile(d / "opere.idb"),
                                testing::readFile(d / "before.idb"));
                      EXPECT_FALSE(std::filesystem::exists(d / "opere.idb.nuovo"));
                    }},
        // What a killed run leaves is cleared away, never read.
        HostileCase{"LeftoverWorkingCopies",
                    [](CatalogueDir& d) {
                      writeFile(d / "opere.ddb.nuovo", "left by a killed run");
                      writeFile(d / "opere.idb.nuovo", "left by a killed run");
                    },
                    "Inizio scansione" + kEmptyRunEnd, 0,
                    [](const CatalogueDir& d) {
                      EXPECT_FALSE(std::filesystem::exists(d / "opere.ddb.nuovo"));
                      EXPECT_FALSE(std::filesystem::exists(d / "opere.idb.nuovo"));
                      EXPECT_EQ(indexTerms(d),
                                (std::vector<std::string>{"A", "AAAB", "IL", "SONATA", "ZZZZ"}));
                    }},
        // Links are followed: the file they reach is replaced, keeping its
        // mode, and the link stays.
        HostileCase{"LinkedDatabases",
                    [](CatalogueDir& d) {
                      std::filesystem::create_directory(d / "altrove");
                      std::filesystem::rename(d / "opere.ddb", d / "altrove/dati.ddb");
                      std::filesystem::permissions(d / "altrove/dati.ddb",
                                                   std::filesystem::perms(0640));
                      std::filesystem::create_symlink("altrove/dati.ddb", d / "opere.ddb");
                      std::filesystem::create_symlink("altrove/indice.idb", d / "opere.idb");
                    },
                    "Inizio scansione" + kEmptyRunEnd, 0,
                    [](const CatalogueDir& d) {
                      EXPECT_TRUE(std::filesystem::is_symlink(d / "opere.ddb"));
                      EXPECT_TRUE(std::filesystem::is_symlink(d / "opere.idb"));
                      EXPECT_EQ(std::filesystem::status(d / "opere.ddb").permissions(),
                                std::filesystem::perms(0640));
                      EXPECT_EQ(d.dataItems(), std::vector<StoredItem>{storedItemOf(wordRecord())});
                      EXPECT_EQ(indexTerms(d).size(), 5u);
                    }},
        // An index that is the data database under another name would share
        // its working copy: the run stops before it touches either.
        HostileCase{"IndexLinkedToTheData",
                    [](CatalogueDir& d) {
                      std::filesystem::remove(d / "opere.idb");
                      std::filesystem::create_symlink("opere.ddb", d / "opere.idb");
                    },
                    "Inizio scansione\n" + std::string(kIndexDatabaseOpenFailed) + "\n", 1,
                    [](const CatalogueDir& d) {
                      EXPECT_TRUE(std::filesystem::is_symlink(d / "opere.idb"));
                      EXPECT_TRUE(d.dataItems().empty());
                      EXPECT_FALSE(std::filesystem::exists(d / "opere.ddb.nuovo"));
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// Keys out of order in a middle leaf (the page check does not read keys):
// the scan stops there, and says so instead of indexing half the catalogue.
// The walk runs ahead of the indexing, on a thread of its own: whatever it
// had walked when it found the fault, every record before it is indexed,
// with its dot, before the message; the larger catalogue has many blocks of
// records in flight when the walk fails.
TEST(DamagedDatabases, KeysOutOfOrderIndexEveryRecordBeforeThem) {
  for (const int records : {3000, 40000}) {
    CatalogueDir dir;
    dir.prepare({});
    std::vector<StoredItem> items;
    for (const auto& record : numberedRecords(1, records)) items.push_back(storedItemOf(record));
    dir.dataDatabase(items);
    const auto chain = testing::leafChain(dir / "opere.ddb");
    const auto cut = chain.size() / 2;
    // The leaves before the swapped keys, and the first of them, which is
    // still in order.
    const std::size_t before =
        testing::leafPairs(dir / "opere.ddb",
                           {chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(cut)}) +
        1;
    testing::swapFirstTwoKeys(dir / "opere.ddb", chain[cut]);
    const auto run = dir.run();
    EXPECT_EQ(run.output, "Inizio scansione\n\n" + std::string(before / 100, '.') +
                              "Errore lettura opere.ddb\n")
        << records << " records";
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "opere.idb"));
  }
}

// Files the run may not read or write. Root reads and writes every file
// whatever its mode, so these cases only mean something for other users.
struct PermissionCase {
  const char* name;
  const char* file;
  std::filesystem::perms mode;
  std::string expected;
  friend void PrintTo(const PermissionCase& c, std::ostream* os) { *os << c.name; }
};

class UnreadableFiles : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(UnreadableFiles, StopWithTheOpenMessage) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "running as root, which reads and writes files whatever their mode: "
                    "run the tests as another user to check unreadable files";
  }
  CatalogueDir dir;
  dir.prepare({wordRecord()});
  testing::loadDatabase(dir / "opere.idb", {});
  std::filesystem::permissions(dir / GetParam().file, GetParam().mode);
  const auto run = dir.run();
  EXPECT_EQ(run.output, GetParam().expected);
  EXPECT_EQ(run.exitStatus, 1);
}

using std::filesystem::perms;
INSTANTIATE_TEST_SUITE_P(
    HostileFiles, UnreadableFiles,
    ::testing::Values(
        PermissionCase{"StopWords", "noused.txt", perms::none, "File noused.txt indefinito\n"},
        PermissionCase{"Records", "opere.cry", perms::none, "Errore lettura opere.cry\n"},
        PermissionCase{"DataDatabase", "opere.ddb", perms::none,
                       "Inizio scansione\nopere.ddb open error\n"},
        PermissionCase{"ReadOnlyDataDatabase", "opere.ddb", perms::owner_read,
                       "Inizio scansione\nopere.ddb open error\n"},
        // Found before the load, which is then left undone.
        PermissionCase{"ReadOnlyIndexDatabase", "opere.idb", perms::owner_read,
                       "Inizio scansione\nOpen error\n"},
        PermissionCase{"UnreadableIndexDatabase", "opere.idb", perms::none,
                       "Inizio scansione\nOpen error\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
