// The built-in vocabulary held to its rules: nothing joins two different
// things. Every word of it means one thing; none is a single letter, a note
// name, or a name of one of the sample catalogue's composers; a key's names
// are read as what they name in their language; a transliteration joins the
// spellings of one name and no two composers of the sample; every nickname
// names a work by a catalogue number that can be read, and is no word of the
// vocabulary and no composer's name.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "catalogue/text/latin1.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/catalogue_numbers.h"
#include "search/understanding/composer_names.h"
#include "search/understanding/keys.h"
#include "search/understanding/music_words.h"
#include "search/understanding/work_nicknames.h"

namespace indicizza {
namespace {

// The surnames of the sample catalogue's composers (the composer field's
// words of three letters or more, years left out), folded.
std::set<std::string> sampleComposerNames() {
  std::ifstream in(SAMPLE_WORKS_TSV);
  std::set<std::string> names;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    const std::string composer = utf8ToLatin1Approximate(line.substr(0, line.find('\t')));
    forEachToken(composer, [&](std::string_view token) {
      if (token.size() >= 3 && !holdsDigit(token)) names.insert(foldedText(token));
    });
  }
  names.erase("TRADITIONAL");
  names.erase("ANONYMOUS");
  return names;
}

const std::set<std::string> kNoteNames = {"A",  "B",  "C",  "D",  "E",   "F",  "G",  "H",
                                          "DO", "RE", "MI", "FA", "SOL", "LA", "SI", "UT"};

TEST(Vocabulary, EachWordMeansOneThingAndIsNoLetterNoteOrComposer) {
  const std::set<std::string> composers = sampleComposerNames();
  const std::vector<std::string> words = vocabularyWords();
  ASSERT_GT(words.size(), 500u);
  std::set<std::string> seen;
  for (const std::string& word : words) {
    EXPECT_TRUE(seen.insert(word).second) << word << ": on two lines";
    EXPECT_GT(word.size(), 1u) << word;
    EXPECT_FALSE(kNoteNames.contains(word)) << word << ": a note's name";
    EXPECT_FALSE(composers.contains(word)) << word << ": a composer's name";
    EXPECT_EQ(numberNamed(word), 0u) << word << ": also a number";
  }
}

struct KeyCase {
  std::vector<std::string> typed;
  std::size_t taken;
  MusicalKey key;
};

TEST(Keys, AreReadInEachLanguageAndNeverFromANoteAlone) {
  using A = MusicalKey::Accidental;
  using M = MusicalKey::Mode;
  const std::vector<KeyCase> cases = {
      {{"e", "flat", "major"}, 3, {'E', A::kFlat, M::kMajor}},
      {{"eb", "major"}, 2, {'E', A::kFlat, M::kMajor}},
      {{"es", "dur"}, 2, {'E', A::kFlat, M::kMajor}},
      {{"mi", "bemolle", "maggiore"}, 3, {'E', A::kFlat, M::kMajor}},
      {{"mi", "b\xE9mol", "majeur"}, 3, {'E', A::kFlat, M::kMajor}},
      {{"f#", "minor"}, 2, {'F', A::kSharp, M::kMinor}},
      {{"fis", "moll"}, 2, {'F', A::kSharp, M::kMinor}},
      {{"c", "minor"}, 2, {'C', A::kNatural, M::kMinor}},
      {{"b", "dur"}, 2, {'B', A::kFlat, M::kMajor}},       // German B is B flat
      {{"h", "moll"}, 2, {'B', A::kNatural, M::kMinor}},   // and German H is B
      {{"b", "major"}, 2, {'B', A::kNatural, M::kMajor}},  // English B is B
      {{"e", "flat"}, 2, {'E', A::kFlat, M::kEither}},
      {{"e"}, 0, {}},
      {{"e", "sonata"}, 0, {}},
      {{"eb"}, 0, {}},
      {{"la", "traviata"}, 0, {}},
  };
  for (const KeyCase& c : cases) {
    MusicalKey key;
    EXPECT_EQ(keyAt(c.typed, key), c.taken) << c.typed.front();
    if (c.taken != 0) {
      EXPECT_EQ(key, c.key) << c.typed.front();
    }
  }
  const std::vector<std::vector<std::string>> spellings = keySpellings({'E', A::kFlat, M::kMajor});
  for (const std::vector<std::string>& wanted : std::vector<std::vector<std::string>>{
           {"E", "FLAT", "MAJOR"}, {"EB", "MAJOR"}, {"ES", "DUR"}, {"MI", "BEMOLLE", "MAGGIORE"}}) {
    EXPECT_NE(std::find(spellings.begin(), spellings.end(), wanted), spellings.end())
        << wanted.front();
  }
  for (const std::vector<std::string>& spelling : spellings)
    EXPECT_NE(spelling.back(), "MINOR") << "a major key spelled as a minor one";
}

TEST(Transliteration, JoinsTheSpellingsOfANameAndNoTwoComposers) {
  for (const auto& [one, other] :
       std::vector<std::pair<std::string, std::string>>{{"RACHMANINOFF", "RACHMANINOV"},
                                                        {"STRAWINSKY", "STRAVINSKY"},
                                                        {"TSCHAIKOWSKY", "TCHAIKOVSKY"},
                                                        {"PROKOFJEW", "PROKOFIEV"},
                                                        {"SCHOSTAKOWITSCH", "SHOSTAKOVICH"},
                                                        {"MOUSSORGSKY", "MUSSORGSKY"},
                                                        {"RIMSKIJ", "RIMSKY"}}) {
    EXPECT_EQ(transliterationKey(one), transliterationKey(other)) << one;
    const std::vector<std::string> spellings = transliterationsOf(one, 64);
    EXPECT_NE(std::find(spellings.begin(), spellings.end(), other), spellings.end()) << one;
  }
  std::map<std::string, std::string> byKey;
  for (const std::string& name : sampleComposerNames()) {
    const auto [earlier, added] = byKey.emplace(transliterationKey(name), name);
    EXPECT_TRUE(added) << name << " and " << earlier->second << " would be joined";
  }
}

TEST(Nicknames, NameWorksByReadableNumbersAndAreNoWordsOrComposers) {
  const std::set<std::string> composers = sampleComposerNames();
  const std::vector<std::string> words = vocabularyWords();
  const std::set<std::string> vocabulary(words.begin(), words.end());
  const WorkNicknames& nicknames = builtInWorkNicknames();
  ASSERT_GT(nicknames.works.size(), 300u);
  for (const auto& [nickname, works] : nicknames.works) {
    EXPECT_FALSE(vocabulary.contains(nickname)) << nickname << ": a word of the vocabulary";
    EXPECT_FALSE(composers.contains(nickname)) << nickname << ": a composer's name";
    for (const NicknamedWork& work : works) {
      EXPECT_FALSE(work.composer.empty()) << nickname;
      EXPECT_TRUE(worksNumbered(work.composer, work.number, builtInCatalogueNumberAliases()))
          << nickname << ": " << work.number << " is no catalogue number";
    }
  }
}

}  // namespace
}  // namespace indicizza
