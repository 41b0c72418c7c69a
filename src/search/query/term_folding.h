// Folding of catalogue text for matching what a person types: case and
// accents are set aside, over the catalogue's Latin-1 bytes. The index keeps
// terms as the indexer wrote them (only a-z upper-cased), so a search folds
// both the query and the index keys and compares the folded forms.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace indicizza {

// The folded form of each byte value: at most two bytes, upper-case ASCII
// for every letter. a-z become A-Z; the accented letters of Latin-1 lose
// their accent (À-Å à-å -> A, Ç ç -> C, È-Ë è-ë -> E, Ì-Ï ì-ï -> I, Ð ð -> D,
// Ñ ñ -> N, Ò-Ö Ø ò-ö ø -> O, Ù-Ü ù-ü -> U, Ý ý ÿ -> Y, ª -> A, º -> O);
// the ligatures and ß become two letters (Æ æ -> AE, Þ þ -> TH, ß -> SS).
// Every other byte (digits, signs, × ÷ µ, control bytes) stays as it is.
struct ByteFold {
  std::array<char, 2> bytes;
  std::size_t size;
  std::string_view text() const { return {bytes.data(), size}; }
};

// The fold of `byte`.
const ByteFold& foldOf(unsigned char byte);

// `latin1` with every byte replaced by its fold.
std::string foldedText(std::string_view latin1);

// How a search compares terms: kFolded (the default) compares folded forms;
// kExact compares a word upper-cased as the indexer does it (a-z only) and a
// code byte for byte, as the index holds them.
enum class Matching { kFolded, kExact };

// The form of a term (a word or a code, as typed or as stored) that two
// terms are compared by under `matching`: foldedText, or for kExact the
// word upper-cased (a code has a digit and is kept as it is).
std::string comparableTerm(std::string_view term, Matching matching);

// `text` with A-Z in lower case, every other byte as it is.
std::string asciiLower(std::string_view text);

// An index term (Latin-1, as the indexer wrote it) as a note or a
// suggestion shows it: a-z in lower case, in UTF-8.
std::string shownTerm(std::string_view latin1);

}  // namespace indicizza
