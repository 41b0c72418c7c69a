// From what people type to what the index holds, on a small catalogue built
// by the real indexer: stop words, catalogue numbers typed loosely, numbers
// in titles and in words, stems, synonyms, keys, compounds, composers'
// initials and transliterations, nicknames of works, and the "did you mean"
// of a misspelt word.
// Each query is run with runQuery after the rewrite, so a case fails when
// the rewrite finds a record that does not carry what was asked as well as
// when it misses one.
#include "search/understanding/query_understanding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "search/evaluation/query_run.h"
#include "search/presentation/reading_notes.h"
#include "search/query/query_parser.h"
#include "search/understanding/catalogue_numbers.h"
#include "search/understanding/suggestions.h"
#include "support/catalogue_dir.h"

namespace indicizza {
namespace {

PlainRecord work(int number, std::string_view composer, std::string_view instruments,
                 std::string_view title, std::string_view code) {
  return PlainRecord()
      .recordNumber(number)
      .textField(1, composer)
      .textField(2, instruments)
      .textField(4, title)
      .codeField(1, code);
}

std::vector<PlainRecord> works() {
  return {
      work(1, "J. S. Bach", "Cello", "Suite No. 3 in C Major", "BWV1009"),
      work(2, "J. S. Bach", "Cello", "Cello Suites", "BWV1007"),
      work(3, "L. van Beethoven", "Piano", "Sonata No. 14 Op. 27 No. 2", "OP27NO2"),
      work(4, "L. van Beethoven", "Piano", "Piano Concerto No. 3", "OP37"),
      work(5, "W. A. Mozart", "Piano", "Sonata in A", "KV331"),
      work(6, "G. Faure", "Voice and Piano", "Apres un reve", "OP7NO1"),
      work(7, "A. Vivaldi", "Violin", "Concerto in F", "RV269"),
      work(8, "S. Joplin", "Piano", "Maple Leaf Rag", ""),
      work(9, "J. S. Bach", "Organ", "Fuga in G minor", "BWV578"),
      work(10, "L. van Beethoven", "Orchestra", "Symphony No. 5", "OP67"),
      work(11, "F. Schubert", "Voice", "Lied der Mignon", "D877"),
      work(12, "F. J. Haydn", "Piano", "Sonata Hob. XVI 52", "HOB.XVI:52"),
      work(13, "L. van Beethoven", "Orchestra", "Symphony No. 6", "OP68"),
      work(14, "P. I. Tchaikovsky", "Piano", "Tango", ""),
      work(15, "P. I. Tchaikovsky", "Piano", "Tanga", ""),
      work(16, "J. Brahms", "Piano", "Op. 10 Ballade", "OP10"),
      work(17, "C. Franck", "Violin", "Sonate", ""),
      work(18, "W. A. Mozart", "Piano", "Variations KV 265", ""),
      work(19, "I. Albeniz", "Piano", "Garden", ""),
      work(20, "I. Albeniz", "Piano", "Gardens", ""),
      work(21, "J. S. Bach", "Keyboard", "Minuet", "BWVANH114"),
      work(22, "C. P. E. Bach", "Klavier", "Sonate", "WQ55"),
      work(23, "F. Chopin", "Piano", "Etude", "OP10NO3"),
      work(24, "F. Chopin", "Piano", "Nocturne in E flat major", "OP9NO2"),
      work(25, "F. Mendelssohn", "Strings", "Quartett Es-Dur", "OP12"),
      work(26, "L. van Beethoven", "Piano", "Sonata c-moll", "OP13"),
      work(27, "F. Schubert", "Piano", "Trio B-Dur", "D898"),
      work(28, "F. Liszt", "Piano", "Sonata in B minor", ""),
      // The indexer cuts these codes before their numbers.
      work(29, "F. J. Haydn", "Orchestra", "Symphony", "Hob. I:94"),
      work(30, "F. J. Haydn", "Orchestra", "Symphony", "Hob. I:101"),
      // Only the titles carry the number, one of them not the composer's.
      work(31, "F. J. Haydn", "Orchestra", "Symphony Hob. I:104", ""),
      work(32, "J. P. Salomon", "Piano Trio", "After Haydn, Hob. I:104", ""),
      work(33, "S. Rachmaninov", "Piano", "Prelude", ""),
      work(34, "I. Stravinsky", "Clarinet", "3 Pieces", ""),
      work(35, "P. Hindemith", "Violin", "Violinsonate", ""),
      work(36, "N. Rimsky-Korsakov", "Orchestra", "Scheherazade", "OP35"),
      work(37, "R. Strauss", "Voice", "Tag und Zeit", ""),
      work(38, "A. Scriabin", "Piano", "Etude in E flat minor", ""),
      work(39, "D. Scarlatti", "Harpsichord", "Sonata", "K380"),
  };
}

constexpr const char* kStopWords = "IN\nNO\nOP\nUN\nTHE\n";
constexpr const char* kSynonyms = "# forms\nsong, lied canzone\nfugue fuga fuge\n";
// The catalogue's own nicknames, written by an editor that starts the file
// with a byte-order mark and ends lines with CR LF.
constexpr const char* kNicknames =
    "\xEF\xBB\xBF"
    "edward\tbrahms\top. 10\tBallades\r\n";

// One catalogue for every case: building it runs the indexer.
class Understanding : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<testing::CatalogueDir>();
    dir_->prepare(works(), kStopWords);
    testing::writeFile(*dir_ / "sinonimi.txt", kSynonyms);
    testing::writeFile(*dir_ / "soprannomi.txt", kNicknames);
    ASSERT_EQ(dir_->run().exitStatus, 0);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override {
    inFolder_.emplace(dir_->path());
    ASSERT_TRUE(openSearchDatabases(databases_).ok());
    ASSERT_TRUE(loadQueryVocabulary(vocabulary_).ok());
  }

  // The numbers of the records `understood` finds.
  std::set<int> found(const QueryNode& root) {
    SearchResult result;
    const Status searched = runQuery(databases_, root, SearchOptions(), result);
    EXPECT_TRUE(searched.ok()) << searched.text();
    std::set<int> numbers;
    for (const DecodedRecord& record : result.page) numbers.insert(recordNumberOf(record));
    return numbers;
  }

  static std::unique_ptr<testing::CatalogueDir> dir_;
  std::optional<testing::InFolder> inFolder_;
  SearchDatabases databases_;
  QueryVocabulary vocabulary_;
};

std::unique_ptr<testing::CatalogueDir> Understanding::dir_;

struct UnderstandCase {
  const char* name;
  std::string query;
  std::set<int> records;
  std::string notePart;  // of some note, or "" for no note at all
  std::vector<std::string> unknown;
};

class Understand : public Understanding, public ::testing::WithParamInterface<UnderstandCase> {};

TEST_P(Understand, FindsWhatWasMeant) {
  const QueryParse parse = parseQuery(GetParam().query);
  ASSERT_TRUE(parse.query) << parse.error;
  UnderstoodQuery understood;
  const Status status =
      understandQuery(*parse.query, databases_.index, vocabulary_, {}, understood);
  ASSERT_TRUE(status.ok()) << status.text();
  EXPECT_EQ(found(understood.root), GetParam().records);
  std::string notes;
  for (const std::string& note : noteTexts(understood.notes)) notes += note + "\n";
  if (GetParam().notePart.empty()) {
    EXPECT_EQ(notes, "");
  } else {
    EXPECT_NE(notes.find(GetParam().notePart), std::string::npos) << notes;
  }
  EXPECT_EQ(understood.unknownWords, GetParam().unknown);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, Understand,
    ::testing::Values(
        UnderstandCase{"CodeWithBlank", "bwv 1009", {1}, "BWV1009", {}},
        UnderstandCase{"CodeAsStored", "BWV1009", {1}, "", {}},
        UnderstandCase{"CodeWithFullStop", "op. 37", {4}, "OP37", {}},
        UnderstandCase{"CodeRunTogether", "op.37", {4}, "OP37", {}},
        UnderstandCase{"AliasOfThePrefix", "opus 37", {4}, "OP37", {}},
        UnderstandCase{"AliasRunTogether", "k331", {5}, "KV331", {}},
        UnderstandCase{"AliasWithBlank", "K 331", {5}, "KV331", {}},
        UnderstandCase{"AliasSpelledInATitle", "k 265", {18}, "frase", {}},
        UnderstandCase{"CodeOrAliasInATitle", "k 331 OR k 265", {5, 18}, "KV331", {}},
        UnderstandCase{"PartNumber", "op 27 no 2", {3}, "OP27NO2", {}},
        UnderstandCase{"PartNotInTheCode", "op 37 no 1", {4}, "numero della parte", {}},
        UnderstandCase{"CodeBesideAWord", "mozart kv 331", {5}, "KV331", {}},
        UnderstandCase{"VolumeOfACodeNotStored", "hob. xvi 52", {12}, "frase", {}},
        UnderstandCase{"StopWordOutsideAPhrase", "concerto in f", {7}, "«in»", {}},
        UnderstandCase{"StopWordsInATitle", "apres un reve", {6}, "«un»", {}},
        UnderstandCase{"StopWordInAPhraseKept", "\"apres un reve\"", {6}, "", {}},
        UnderstandCase{"OnlyAStopWord", "in", {}, "troppo comune", {}},
        UnderstandCase{"CodeNotStoredAlone", "bwv 1", {}, "«bwv 1» non è tra i codici", {}},
        UnderstandCase{"NumberInATitle", "symphony 5", {10}, "«5»", {}},
        UnderstandCase{"NumberAfterAStopWord", "symphony no 6", {13}, "«no 6»", {}},
        UnderstandCase{"PlainCodeKept", "D877", {11}, "", {}},
        UnderstandCase{"PluralOfAnIndexWord", "cello suites bach", {1, 2}, "suite", {}},
        UnderstandCase{"SingularOfAnIndexWord", "rags", {8}, "rag", {}},
        UnderstandCase{"Synonym", "song", {11}, "lied", {}},
        UnderstandCase{"SynonymOfAnIndexWord", "fugue bach", {9}, "fuga", {}},
        UnderstandCase{"ExclusionLeftAsTyped", "beethoven -symphony", {3, 4, 26}, "", {}},
        UnderstandCase{
            "UnknownWordListed", "mozrat sonata", {}, "«sonata» cercato anche come", {"mozrat"}},
        // Keys, in whichever language the title states them; German B is B
        // flat and H is B; a lone letter is no key.
        UnderstandCase{
            "KeyInEnglish", "e flat major", {24, 25}, "«e flat major»: E flat major", {}},
        UnderstandCase{"NoteRunIntoItsFlat", "eb major", {24, 25}, "E flat major", {}},
        UnderstandCase{"NoModeIsBothModes", "e flat", {24, 25, 38}, "«e flat»: E flat", {}},
        UnderstandCase{"KeyInGerman", "es-dur", {24, 25}, "E flat major", {}},
        UnderstandCase{"KeyInItalian", "mi bemolle maggiore", {24, 25}, "E flat major", {}},
        UnderstandCase{"KeyInFrench", "mi bémol majeur", {24, 25}, "E flat major", {}},
        UnderstandCase{"MinorKeyFindsMoll", "c minor", {26}, "C minor", {}},
        UnderstandCase{"GermanBIsBFlat", "b-dur", {27}, "B flat major", {}},
        UnderstandCase{"GermanHIsB", "h moll", {28}, "B minor", {}},
        UnderstandCase{"EnglishBIsB", "b minor", {28}, "B minor", {}},
        UnderstandCase{"LoneNoteIsNoKey", "schubert b", {27}, "", {}},
        // Catalogue numbers: appendices, Hoboken groups, parts of an opus,
        // and a prefix that names its composer.
        UnderstandCase{"Appendix", "bwv anh. 114", {21}, "BWVANH114", {}},
        UnderstandCase{"AppendixRunTogether", "bwv anh114", {21}, "BWVANH114", {}},
        UnderstandCase{"GroupPastTheCodesCut", "hob i 94", {29}, "frase", {}},
        UnderstandCase{"GroupInArabicDigits", "hob 1/94", {29}, "frase", {}},
        UnderstandCase{"PartRunTogether", "op.10 no.3", {23}, "OP10NO3", {}},
        UnderstandCase{"PartAfterASlash", "op 10/3", {23}, "OP10NO3", {}},
        UnderstandCase{"PartAfterN", "op. 10, n. 3", {23}, "OP10NO3", {}},
        UnderstandCase{"PrefixOfTwoCatalogues", "k 380", {39}, "K380", {}},
        UnderstandCase{"OnlyTheComposersTitles", "hob 1/104", {31}, "frase", {}},
        // Compounds split only into words the index holds, and only when
        // the index does not hold the compound itself.
        UnderstandCase{"Compound", "klaviersonate", {3, 5, 12, 22, 26, 28}, "klavier + sonate", {}},
        UnderstandCase{"CompoundWithALinkingEs", "tageszeit", {37}, "tag + zeit", {}},
        UnderstandCase{"CompoundInTheIndex", "violinsonate", {35}, "", {}},
        UnderstandCase{"CompoundOfAnUnknownPart", "klavierquintett", {}, "", {"klavierquintett"}},
        // Composers' names.
        UnderstandCase{"Initials", "js bach", {1, 2, 9, 21}, "J. S. bach", {}},
        UnderstandCase{"ThreeInitials", "cpe bach", {22}, "C. P. E. bach", {}},
        UnderstandCase{"ShortWordOfTheIndexIsNoInitials", "rag joplin", {8}, "", {}},
        UnderstandCase{"TransliterationFfForV", "rachmaninoff", {33}, "rachmaninov", {}},
        UnderstandCase{"TransliterationWForV", "strawinsky", {34}, "stravinsky", {}},
        UnderstandCase{
            "TransliterationOfAHyphenatedName", "rimskij-korsakow", {36}, "rimsky korsakov", {}},
        // Nicknames: the work's code, its number in a title or past a
        // code's cut, and the catalogue's own file.
        UnderstandCase{"NicknameOfACode", "mondschein", {3}, "Beethoven, op. 27 no. 2", {}},
        UnderstandCase{"NicknameOfATitle", "twinkle variations", {18}, "Mozart, K. 265", {}},
        UnderstandCase{"NicknamePastTheCodesCut", "paukenschlag", {29}, "Haydn, Hob. I:94", {}},
        UnderstandCase{"NicknameOfTheCatalogue", "edward", {16}, "Brahms, op. 10", {}},
        UnderstandCase{"NumberWord", "three pieces", {34}, "«three»: 3", {}}),
    [](const ::testing::TestParamInfo<UnderstandCase>& info) { return info.param.name; });

// Relevance weighs the word as typed above its other forms, so the rewrite
// keeps it first among them.
TEST_F(Understanding, RanksTheWordAsTypedFirst) {
  struct Case {
    std::string query;
    std::vector<int> first;  // the page's first records, in order
  };
  for (const Case& c :
       std::vector<Case>{{"sonate", {17, 22}}, {"sonata", {3, 5, 12, 26, 28, 39}}}) {
    UnderstoodQuery understood;
    ASSERT_TRUE(understandQuery(parseQuery(c.query).query->root, databases_.index, vocabulary_, {},
                                understood)
                    .ok());
    SearchResult result;
    ASSERT_TRUE(runQuery(databases_, understood.root, SearchOptions(), result).ok());
    std::vector<int> first;
    for (std::size_t r = 0; r < c.first.size() && r < result.page.size(); ++r)
      first.push_back(recordNumberOf(result.page[r]));
    EXPECT_EQ(first, c.first) << c.query;
  }
}

// The bounds of the rewrite: a stem that starts more keys than the walk may
// look at, or a word with more forms than it may stand for, is cut short,
// and the query still runs.
TEST_F(Understanding, StaysWithinItsLimits) {
  struct Case {
    std::string query;
    UnderstandingLimits limits;
    std::set<int> records;
  };
  UnderstandingLimits fewKeys;
  fewKeys.maxStemKeys = 1;  // GARDEN starts GARDEN and GARDENS
  UnderstandingLimits fewForms;
  fewForms.maxAlternatives = 1;
  const std::vector<Case> cases = {{"albeniz gardens", {}, {19, 20}},
                                   {"albeniz gardens", fewKeys, {20}},
                                   {"cello suites bach", fewForms, {2}},
                                   {"song", fewForms, {}}};
  for (const Case& c : cases) {
    const QueryParse parse = parseQuery(c.query);
    UnderstoodQuery understood;
    const Status status =
        understandQuery(parse.query->root, databases_.index, vocabulary_, c.limits, understood);
    ASSERT_TRUE(status.ok()) << status.text();
    EXPECT_EQ(found(understood.root), c.records) << c.query;
  }
}

// Ranking counts the members of the top AND as the query's words: each word
// typed stays one member (its forms an OR), a catalogue number typed as
// several words becomes one, a stop word none.
TEST_F(Understanding, KeepsOneMemberPerQueryWord) {
  struct Case {
    std::string query;
    std::vector<NodeKind> members;
  };
  const std::vector<Case> cases = {
      {"cello suites bach", {NodeKind::kTerm, NodeKind::kAny, NodeKind::kTerm}},
      {"beethoven op 27 no 2", {NodeKind::kTerm, NodeKind::kTerm}},
      {"concerto in f", {NodeKind::kTerm, NodeKind::kTerm}},
      {"symphony 5", {NodeKind::kTerm, NodeKind::kNot}},
      {"k 331 mozart", {NodeKind::kAny, NodeKind::kTerm}}};
  for (const Case& c : cases) {
    const QueryParse parse = parseQuery(c.query);
    UnderstoodQuery understood;
    ASSERT_TRUE(
        understandQuery(parse.query->root, databases_.index, vocabulary_, {}, understood).ok());
    std::vector<NodeKind> members;
    for (const QueryNode& member : understood.root.children) members.push_back(member.kind);
    EXPECT_EQ(understood.root.kind, NodeKind::kAll) << c.query;
    EXPECT_EQ(members, c.members) << c.query;
  }
}

// A suggestion compares no more keys than its limit allows.
TEST_F(Understanding, SuggestionStaysWithinItsLimit) {
  const QueryParse parse = parseQuery("mozrat");
  UnderstoodQuery understood;
  ASSERT_TRUE(
      understandQuery(parse.query->root, databases_.index, vocabulary_, {}, understood).ok());
  SuggestionLimits limits;
  limits.maxKeysCompared = 1;  // the M keys are MAJOR, MAPLE, MIGNON, MINOR, MOZART
  std::optional<Suggestion> suggestion;
  ASSERT_TRUE(suggestCorrection("mozrat", parse.query->root, understood, databases_.index, limits,
                                suggestion)
                  .ok());
  EXPECT_FALSE(suggestion);
}

// The parser says an item holding separators is searched as a phrase; once
// the rewrite reads it as a catalogue number, that note goes, and the
// parser's other notes stay.
TEST_F(Understanding, KeepsOnlyTheParserNotesThatStillHold) {
  struct Case {
    std::string query;
    bool phraseNote;  // the parser's note is among the notes
  };
  for (const Case& c : std::vector<Case>{{"op.37", false}, {"bach 3.5", true}}) {
    const QueryParse parse = parseQuery(c.query);
    ASSERT_FALSE(parse.query->notes.empty()) << c.query;
    UnderstoodQuery understood;
    ASSERT_TRUE(understandQuery(*parse.query, databases_.index, vocabulary_, {}, understood).ok());
    const std::vector<std::string> notes = noteTexts(understood.notes);
    const bool kept =
        std::find(notes.begin(), notes.end(), parse.query->notes.front()) != notes.end();
    EXPECT_EQ(kept, c.phraseNote) << c.query;
  }
}

// The vocabulary's files: a synonyms file that is not a regular file, a
// nicknames line of another form, or a stemming language libstemmer does
// not know, is a failure that says so.
TEST_F(Understanding, VocabularyRefusesWhatItCannotRead) {
  QueryVocabulary vocabulary;
  EXPECT_TRUE(loadQueryVocabulary(vocabulary, {"english", "italian"}).ok());
  const Status unknown = loadQueryVocabulary(vocabulary, {"klingon"});
  EXPECT_EQ(unknown.code(), Status::Code::kNotFound);
  EXPECT_NE(unknown.text().find("klingon"), std::string::npos) << unknown.text();
  std::filesystem::rename("sinonimi.txt", "sinonimi.keep");
  std::filesystem::create_directory("sinonimi.txt");
  const Status folder = loadQueryVocabulary(vocabulary);
  std::filesystem::remove("sinonimi.txt");
  std::filesystem::rename("sinonimi.keep", "sinonimi.txt");
  EXPECT_EQ(folder.code(), Status::Code::kCannotOpen);
  EXPECT_NE(folder.text().find("non è un file regolare"), std::string::npos) << folder.text();
  testing::writeFile("soprannomi.txt", std::string(kNicknames) + "eroica\tbeethoven\n");
  const Status badLine = loadQueryVocabulary(vocabulary);
  testing::writeFile("soprannomi.txt", kNicknames);
  EXPECT_EQ(badLine.code(), Status::Code::kReadFailed);
  EXPECT_NE(badLine.text().find("soprannomi.txt, riga 2"), std::string::npos) << badLine.text();
}

struct SuggestCase {
  const char* name;
  std::string query;
  std::string suggested;  // "" for none
};

class Suggest : public Understanding, public ::testing::WithParamInterface<SuggestCase> {};

TEST_P(Suggest, CorrectsOnlyAClearMisspelling) {
  const QueryParse parse = parseQuery(GetParam().query);
  ASSERT_TRUE(parse.query) << parse.error;
  UnderstoodQuery understood;
  Status status = understandQuery(parse.query->root, databases_.index, vocabulary_, {}, understood);
  ASSERT_TRUE(status.ok()) << status.text();
  std::optional<Suggestion> suggestion;
  status = suggestCorrection(GetParam().query, parse.query->root, understood, databases_.index, {},
                             suggestion);
  ASSERT_TRUE(status.ok()) << status.text();
  EXPECT_EQ(suggestion ? suggestion->text : "", GetParam().suggested);
  if (suggestion) {
    EXPECT_FALSE(found(suggestion->root).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Queries, Suggest,
    ::testing::Values(SuggestCase{"Transposition", "mozrat sonata", "mozart sonata"},
                      SuggestCase{"WrongVowelInALongWord", "beethovan", "beethoven"},
                      SuggestCase{"MissingFirstLetter", "rahms", "brahms"},
                      SuggestCase{"TwoEditsInALongWord", "beethofan", "beethoven"},
                      SuggestCase{"WordInTheIndexLeftAlone", "tango", ""},
                      SuggestCase{"ShortWordLeftAlone", "bahc", "bach"},
                      SuggestCase{"TooShortToCorrect", "bac", ""},
                      SuggestCase{"NoClearWinner", "tangi", ""},
                      SuggestCase{"WinnerCarriedByTwiceTheRecords", "sonatx", "sonata"},
                      SuggestCase{"StopWordLeftAlone", "the bach", ""},
                      SuggestCase{"CodeLeftAlone", "BWV1010", ""},
                      SuggestCase{"PluralOfAnIndexWordLeftAlone", "joplin rags", ""},
                      SuggestCase{"OnlyTheUnknownWordCorrected", "mozrat (sonata OR beethovan)",
                                  "mozart (sonata OR beethoven)"}),
    [](const ::testing::TestParamInfo<SuggestCase>& info) { return info.param.name; });

struct DistanceCase {
  std::string a, b;
  std::size_t bound, distance;
};

TEST(EditDistance, CountsEachEditOnceAndStopsPastTheBound) {
  const std::vector<DistanceCase> cases = {{"MOZART", "MOZART", 2, 0},
                                           {"MOZRAT", "MOZART", 2, 1},
                                           {"BEETHOVAN", "BEETHOVEN", 2, 1},
                                           {"CHAIKOVSKY", "TCHAIKOVSKY", 2, 1},
                                           {"BACH", "BACHE", 2, 1},
                                           {"ABCD", "BADC", 2, 2},
                                           {"SONATA", "SUITE", 2, 3},
                                           {"A", "ABCDEF", 2, 3},
                                           {"", "AB", 2, 2}};
  for (const DistanceCase& c : cases) {
    EXPECT_EQ(editDistance(c.a, c.b, c.bound), c.distance) << c.a << " " << c.b;
  }
}

TEST(CatalogueNumbers, AreRecognisedAtTheFrontOfTheTokens) {
  const CatalogueNumberAliases& aliases = builtInCatalogueNumberAliases();
  struct Case {
    std::vector<std::string> tokens;
    std::string seen;  // prefix roman annex number part-word part tokens, or "" for none
  };
  const std::vector<Case> cases = {
      {{"bwv", "1009"}, "BWV|||1009|||2"},
      {{"k331", "mozart"}, "K|||331|||1"},
      {{"hob", "xvi", "52"}, "HOB|XVI||52|||3"},
      {{"op", "27", "no", "2"}, "OP|||27|NO|2|4"},
      {{"op", "27", "no"}, "OP|||27|||2"},
      {{"symphony", "5"}, "SYMPHONY|||5|||2"},
      {{"symphony", "vi", "5"}, ""},  // a volume only after a known prefix
      {{"no", "5"}, ""},              // a part word is no prefix
      {{"bach"}, ""},
      {{"1009"}, ""},
      {{"bwv", "anh", "117a"}, "BWV||ANH|117A|||3"},
      {{"bwv", "anhang", "117a"}, "BWV||ANH|117A|||3"},
      {{"bwv", "anh117a"}, "BWV||ANH|117A|||2"},
      {{"anh", "5"}, ""},                           // an appendix word is no prefix
      {{"hob", "16", "27"}, "HOB|XVI||27|||3"},     // a group in Arabic digits
      {{"hob", "39", "1"}, "HOB|XXXIX||1|||3"},     // the last group
      {{"hob", "40", "1"}, "HOB|||40|||2"},         // past the groups
      {{"bwv", "16", "27"}, "BWV|||16|||2"},        // BWV has no groups
      {{"op", "10", "3"}, "OP|||10|NO|3|3"},        // an opus's second number is its part
      {{"opus", "81a", "2"}, "OPUS|||81A|NO|2|3"},  // of each prefix of the opus
      {{"bwv", "10", "3"}, "BWV|||10|||2"}};        // no other catalogue's
  for (const Case& c : cases) {
    const std::optional<TypedCatalogueNumber> typed = catalogueNumberAt(c.tokens, aliases);
    const std::string seen = typed ? typed->prefix + "|" + typed->roman + "|" + typed->annex + "|" +
                                         typed->number + "|" + typed->partWord + "|" + typed->part +
                                         "|" + std::to_string(typed->tokens)
                                   : "";
    EXPECT_EQ(seen, c.seen) << c.tokens.front() << " " << c.tokens.back();
  }
}

TEST(CatalogueNumbers, TableTextIsReadOrRefusedByLine) {
  std::string error;
  const CatalogueNumberAliases aliases =
      parseCatalogueNumberAliases("# c\n\nk kv\r\npart: no nr\nOP OPUS\n", error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(aliases.prefixGroups.size(), 2u);
  EXPECT_EQ(aliases.prefixGroups[0], (std::vector<std::string>{"K", "KV"}));
  EXPECT_EQ(aliases.partWords, (std::vector<std::string>{"NO", "NR"}));
  EXPECT_EQ(codeFormsOf({"OP", "", "", "27", "NO", "2", 4, true}, aliases, false),
            (std::vector<std::string>{"OP27NO2", "OP27NR2", "OPUS27NO2", "OPUS27NR2"}));
  EXPECT_EQ(codeFormsOf({"K", "", "", "331", "NO", "2", 4, true}, aliases, true),
            (std::vector<std::string>{"K331", "KV331"}));
  EXPECT_EQ(codeFormsOf({"HOB", "XVI", "", "52", "", "", 3, false}, aliases, false),
            (std::vector<std::string>{"HOBXVI52"}));
  EXPECT_TRUE(parseCatalogueNumberAliases("K KV\nOP 1\n", error).prefixGroups.empty());
  EXPECT_NE(error.find("riga 2"), std::string::npos) << error;
}

TEST(Synonyms, GroupsAreFoldedAndOneWordLinesLeftOut) {
  const SynonymGroups synonyms =
      parseSynonyms("# c\nsong, lied canzone\nsolo\n\xC3\xA9tude etude study\nop1 x\n");
  ASSERT_EQ(synonyms.groups.size(), 2u);
  EXPECT_EQ(synonymsOf(synonyms, "LIED"), (std::vector<std::string>{"SONG", "CANZONE"}));
  EXPECT_EQ(synonymsOf(synonyms, "SOLO"), std::vector<std::string>{});
  EXPECT_EQ(synonyms.groups[1], (std::vector<std::string>{"ETUDE", "STUDY"}));
}

}  // namespace
}  // namespace indicizza
