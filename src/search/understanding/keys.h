// Keys as people type them, in English, German, Italian, French or Spanish
// ("e flat major", "eb major", "es-dur", "mi bemolle maggiore", "c minor",
// "c-moll", "f# minor"), read into the ways titles state them in any of
// those languages, as phrases of the records' text. The names are data
// (data/key-names.txt), built in. A note standing alone is never a key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "search/query/query.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

// A key: a note (English letter A-G), its accidental and its mode.
struct MusicalKey {
  enum class Accidental { kNatural, kSharp, kFlat };
  enum class Mode { kMajor, kMinor, kEither };
  char letter = 'C';
  Accidental accidental = Accidental::kNatural;
  Mode mode = Mode::kEither;
  bool operator==(const MusicalKey&) const = default;
};

// The key `tokens` (Latin-1, as typed, cut at the indexer's separators)
// start with, and how many of them it takes; nothing (0) when they start
// with none: a note, perhaps an accidental (a word of its own, or run into
// a letter: "eb", "f#"), and a mode; or a German name and a mode ("es
// dur"); or a note and an accidental word with no mode ("e flat", "mi
// bemolle"), which stands for both modes.
std::size_t keyAt(const std::vector<std::string>& tokens, MusicalKey& key);

// The phrases titles state `key` with, in every language of the table, as
// token lists (Latin-1, folded as the records are compared): "E FLAT
// MAJOR", "EB MAJOR", "ES DUR", "MI BEMOLLE MAGGIORE", ...; for kEither,
// those of both modes.
std::vector<std::vector<std::string>> keySpellings(const MusicalKey& key);

// The key in English words: "E flat major", "C minor", "F sharp".
std::string keyName(const MusicalKey& key);

// Reads a key typed at members[i] of an AND (a run of plain terms, or one
// phrase the parser made of an item with separators, "es-dur") into
// `group`: an OR of the phrases titles state it with, with a note.
// `taken` says how many members it took (0: no key starts there).
void readKey(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
             RewriteGroup& group, std::size_t& taken);

}  // namespace indicizza
