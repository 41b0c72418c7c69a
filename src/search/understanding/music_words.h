// The built-in words of music, as data (data/vocabulary-*.txt): forms and
// genres, instruments and ensembles, voices, tempo and character words,
// each with the words that mean exactly the same in English, Italian,
// German, French, Spanish and Latin ("flöte", "flauto", "flûte" for
// "flute"); and the words of numbers in those languages
// (data/number-words.txt). Read once, then only read; safe from several
// threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

// One meaning and the words that say it.
struct WordMeaning {
  std::string head;                // the English word, as the data writes it: "flute"
  std::vector<std::string> forms;  // every word of it, folded (foldedText): "FLOTE", ...
};

// The meaning folded word `folded` has, or null when it is no word of the
// built-in vocabulary.
const WordMeaning* meaningOf(std::string_view folded);

// The number folded word `folded` names ("THREE", "DREI", "TERZO" are 3),
// or 0 when it names none.
unsigned numberNamed(std::string_view folded);

// The ways a record's text may write number `number` (1 or more), as
// token lists (folded): its digits ("5"), its Roman numeral after a word
// that brings in a number ("NO V", "NR V", "N V"), and its words in every
// language ("FIVE", "FIFTH", "FUNF", ...).
std::vector<std::vector<std::string>> numberSpellings(unsigned number);

// Every folded word of the built-in vocabulary, each once, for the checks
// of the data.
std::vector<std::string> vocabularyWords();

}  // namespace indicizza
