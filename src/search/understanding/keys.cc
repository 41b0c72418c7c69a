#include "search/understanding/keys.h"

#include <algorithm>
#include <map>
#include <optional>

#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/built_in_vocabulary_text.h"
#include "search/understanding/word_list_lines.h"

namespace indicizza {
namespace {

constexpr char kSharpSign = '#';
// Run into a note ("eb", "mib"), a b lowers it; a # raises it ("f#").
constexpr char kFlatLetter = 'B';
constexpr std::string_view kNoteLines = "note ";
constexpr std::string_view kGermanLines = "german ";

using Accidental = MusicalKey::Accidental;
using Mode = MusicalKey::Mode;

// data/key-names.txt, every word folded (foldedText: upper case, accents
// aside).
struct KeyNames {
  std::map<char, std::vector<std::string>> solmization;  // by English letter
  std::vector<std::string> sharp, flat, major, minor;    // the English word first
  std::vector<std::string> germanMajor, germanMinor;
  std::map<std::string, std::pair<char, Accidental>, std::less<>> german;
};

std::vector<std::string> foldedWords(std::string_view text) {
  std::vector<std::string> words;
  const std::string latin1 = utf8ToLatin1Approximate(text);
  forEachToken(latin1, [&](std::string_view token) { words.push_back(foldedText(token)); });
  return words;
}

Accidental accidentalNamed(std::string_view word) {
  if (word == "SHARP") return Accidental::kSharp;
  if (word == "FLAT") return Accidental::kFlat;
  return Accidental::kNatural;
}

void addLine(std::string_view name, const std::vector<std::string>& words, KeyNames& names) {
  if (name.starts_with(kNoteLines) && name.size() == kNoteLines.size() + 1) {
    names.solmization[asciiUpper(name.back())] = words;
  } else if (name == "sharp") {
    names.sharp = words;
  } else if (name == "flat") {
    names.flat = words;
  } else if (name == "major") {
    names.major = words;
  } else if (name == "minor") {
    names.minor = words;
  } else if (name == "german major") {
    names.germanMajor = words;
  } else if (name == "german minor") {
    names.germanMinor = words;
  } else if (name.starts_with(kGermanLines) && !words.empty() && words[0].size() == 1) {
    const std::string german = foldedText(name.substr(kGermanLines.size()));
    names.german[german] = {words[0][0],
                            words.size() > 1 ? accidentalNamed(words[1]) : Accidental::kNatural};
  }
}

const KeyNames& keyNames() {
  static const KeyNames names = [] {
    KeyNames read;
    std::string_view text = kKeyNamesText;
    while (!text.empty()) {
      const std::size_t end = std::min(text.find('\n'), text.size());
      const std::string_view line = text.substr(0, end);
      text.remove_prefix(std::min(end + 1, text.size()));
      const std::size_t colon = line.find(':');
      if (line.empty() || line.front() == kWordListCommentMark || colon == std::string_view::npos)
        continue;
      addLine(line.substr(0, colon), foldedWords(line.substr(colon + 1)), read);
    }
    return read;
  }();
  return names;
}

bool isKeyName(const std::vector<std::string>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

std::optional<Mode> modeOf(std::string_view word, bool german) {
  const KeyNames& names = keyNames();
  if (isKeyName(german ? names.germanMajor : names.major, word)) return Mode::kMajor;
  if (isKeyName(german ? names.germanMinor : names.minor, word)) return Mode::kMinor;
  return std::nullopt;
}

std::optional<Accidental> accidentalWord(std::string_view word) {
  if (isKeyName(keyNames().sharp, word)) return Accidental::kSharp;
  if (isKeyName(keyNames().flat, word)) return Accidental::kFlat;
  return std::nullopt;
}

// The English letter of note `word`: a letter A-G, or a solmization name.
std::optional<char> letterOf(std::string_view word) {
  if (word.size() == 1 && word[0] >= 'A' && word[0] <= 'G') return word[0];
  for (const auto& [letter, names] : keyNames().solmization) {
    if (isKeyName(names, word)) return letter;
  }
  return std::nullopt;
}

// A note with its accidental run into it ("EB", "F#", "MIB", "FA#").
std::optional<std::pair<char, Accidental>> joinedNote(std::string_view word) {
  if (word.size() < 2) return std::nullopt;
  const char last = word.back();
  if (last != kFlatLetter && last != kSharpSign) return std::nullopt;
  const std::optional<char> letter = letterOf(word.substr(0, word.size() - 1));
  if (!letter) return std::nullopt;
  return std::pair{*letter, last == kSharpSign ? Accidental::kSharp : Accidental::kFlat};
}

std::string germanName(char letter, Accidental accidental) {
  for (const auto& [name, note] : keyNames().german) {
    if (note == std::pair{letter, accidental}) return name;
  }
  return "";
}

void addSpellings(char letter, Accidental accidental, Mode mode,
                  std::vector<std::vector<std::string>>& spellings) {
  const KeyNames& names = keyNames();
  const bool major = mode == Mode::kMajor;
  const std::vector<std::string>& modes = major ? names.major : names.minor;
  const std::vector<std::string>& accidentals =
      accidental == Accidental::kSharp ? names.sharp : names.flat;
  const std::string note(1, letter);
  // English: "E FLAT MAJOR", "EB MAJOR", "F# MINOR".
  if (accidental == Accidental::kNatural) {
    spellings.push_back({note, modes.front()});
  } else {
    spellings.push_back({note, accidentals.front(), modes.front()});
    spellings.push_back(
        {note + (accidental == Accidental::kSharp ? kSharpSign : kFlatLetter), modes.front()});
  }
  // German: "ES DUR", "FIS MOLL".
  const std::string german = germanName(letter, accidental);
  if (!german.empty())
    spellings.push_back({german, (major ? names.germanMajor : names.germanMinor).front()});
  // The solmization languages: "MI BEMOLLE MAGGIORE", "MI BEMOL MAJEUR", ...
  const auto solmization = names.solmization.find(letter);
  if (solmization == names.solmization.end()) return;
  for (const std::string& name : solmization->second) {
    for (std::size_t m = 1; m < modes.size(); ++m) {
      if (accidental == Accidental::kNatural) {
        spellings.push_back({name, modes[m]});
        continue;
      }
      for (std::size_t a = 1; a < accidentals.size(); ++a)
        spellings.push_back({name, accidentals[a], modes[m]});
    }
  }
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

}  // namespace

std::size_t keyAt(const std::vector<std::string>& tokens, MusicalKey& key) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < tokens.size() && i < 3; ++i) words.push_back(foldedText(tokens[i]));
  if (words.size() < 2) return 0;
  // German: a name and a German mode.
  if (const auto german = keyNames().german.find(words[0]); german != keyNames().german.end()) {
    if (const std::optional<Mode> mode = modeOf(words[1], true)) {
      key = {german->second.first, german->second.second, *mode};
      return 2;
    }
  }
  // A note with its accidental run into it, and a mode.
  if (const auto joined = joinedNote(words[0])) {
    const std::optional<Mode> mode = modeOf(words[1], false);
    if (!mode) return 0;
    key = {joined->first, joined->second, *mode};
    return 2;
  }
  const std::optional<char> letter = letterOf(words[0]);
  if (!letter) return 0;
  // A note and a mode.
  if (const std::optional<Mode> mode = modeOf(words[1], false)) {
    key = {*letter, Accidental::kNatural, *mode};
    return 2;
  }
  // A note, an accidental word, and perhaps a mode.
  const std::optional<Accidental> accidental = accidentalWord(words[1]);
  if (!accidental) return 0;
  const std::optional<Mode> mode = words.size() > 2 ? modeOf(words[2], false) : std::nullopt;
  key = {*letter, *accidental, mode.value_or(Mode::kEither)};
  return mode ? 3 : 2;
}

std::vector<std::vector<std::string>> keySpellings(const MusicalKey& key) {
  std::vector<std::vector<std::string>> spellings;
  for (const Mode mode : {Mode::kMajor, Mode::kMinor}) {
    if (key.mode == Mode::kEither || key.mode == mode)
      addSpellings(key.letter, key.accidental, mode, spellings);
  }
  std::sort(spellings.begin(), spellings.end());
  spellings.erase(std::unique(spellings.begin(), spellings.end()), spellings.end());
  return spellings;
}

std::string keyName(const MusicalKey& key) {
  const KeyNames& names = keyNames();
  std::string name(1, key.letter);
  if (key.accidental != Accidental::kNatural)
    name +=
        " " + asciiLower((key.accidental == Accidental::kSharp ? names.sharp : names.flat).front());
  if (key.mode != Mode::kEither)
    name += " " + asciiLower((key.mode == Mode::kMajor ? names.major : names.minor).front());
  return name;
}

void readKey(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
             RewriteGroup& group, std::size_t& taken) {
  taken = 0;
  const bool phrase = isUnquotedPhrase(members[i]);
  std::vector<std::string> tokens;
  if (phrase) tokens = members[i].tokens;
  // A key may also run on from a phrase into the terms after it ("e-flat major").
  for (std::size_t j = phrase ? i + 1 : i; j < members.size() && isPlainTerm(members[j]); ++j)
    tokens.push_back(members[j].tokens.front());
  MusicalKey key;
  const std::size_t used = keyAt(tokens, key);
  if (used == 0 || (phrase && used < members[i].tokens.size())) return;
  taken = phrase ? 1 + (used - members[i].tokens.size()) : used;
  std::string source;
  for (std::size_t j = i; j < i + taken; ++j)
    source += (source.empty() ? "" : " ") + members[j].source;
  QueryNode any(NodeKind::kAny, source);
  for (std::vector<std::string>& spelling : keySpellings(key)) {
    QueryNode spelled(NodeKind::kPhrase,
                      kPhraseQuote + asciiLower(joined(spelling)) + kPhraseQuote);
    spelled.tokens = std::move(spelling);
    any.children.push_back(std::move(spelled));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs, source, {}, "", keyName(key)});
  group.members.push_back(std::move(any));
}

}  // namespace indicizza
