// How a query was read, one fact at a time, for the person who typed it: a
// word left out as too common, a number looked up as a catalogue code or in
// the records' text, a word that also stands for other forms. The facts are
// made where the query is read; their sentences, the same on the terminal,
// on the page and in the API, have one home (presentation/reading_notes.h).
// Plain data.
#pragma once

#include <string>
#include <vector>

namespace indicizza {

struct ReadingNote {
  enum class Kind {
    kParser,                 // `typed` is the parser's own sentence
    kStopWordLeftOut,        // a word of noused.txt, dropped
    kStopWordsOnly,          // a word of noused.txt in a query of nothing else, kept
    kNumberInText,           // a number that is no code, checked in the others' records
    kNumberAlone,            // the same with nothing else to find records: kept as typed
    kCatalogueNumberInText,  // a catalogue number no code holds, searched as a phrase
    kCatalogueNumber,        // a catalogue number, looked up as `terms`
    kOtherForms,             // a word that also stands for `terms`
    kReadAs,                 // words read as what `meaning` says: a key, a work, ...
  };
  Kind kind = Kind::kParser;
  // What was typed (UTF-8), or, for kParser, the whole sentence.
  std::string typed;
  // The index terms or synonyms it was read as (Latin-1, as the index
  // holds them).
  std::vector<std::string> terms;
  // kCatalogueNumber: the part typed that no code of the index has
  // (Latin-1, as the table spells it: "NO 2"), or "".
  std::string partLeftOut;
  // kReadAs: what the words were read as, for a person (UTF-8): "E flat
  // major", "flute", "klavier + sonate", "Beethoven, op. 55".
  std::string meaning;
};

}  // namespace indicizza
