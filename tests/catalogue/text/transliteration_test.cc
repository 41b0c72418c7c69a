// The nearest Latin-1 forms: one letter of each kind the table holds, and
// the characters it must leave to the error.
#include "catalogue/text/transliteration.h"

#include <gtest/gtest.h>

#include <string>

namespace indicizza {
namespace {

struct NearestCase {
  char32_t letter;
  std::string latin1;  // empty: no form
};

TEST(Transliteration, EachKindOfLetterHasItsNearestForm) {
  const NearestCase cases[] = {
      {U'\u0100', "A"},                          // the first letter of the table: macron dropped
      {U'\u0159', "r"},                          // caron dropped
      {U'\u0151', "\xF6"},                       // double acute read as a diaeresis
      {U'\u0170', "\xDC"}, {U'\u01D8', "\xFC"},  // ü with acute: the diaeresis Latin-1 has is kept
      {U'\u0142', "l"},                          // stroke
      {U'\u0131', "i"},                          // dotless i
      {U'\u0153', "oe"},                         // ligature spelled out
      {U'\u0152', "OE"},   {U'\u01C6', "dz"},    // digraph
      {U'\u1E9E', "SS"},                         // capital sharp s
      {U'\u1EFF', "y"},                          // the last letter of the table
      {U'\u00FF', ""},                           // Latin-1 itself is never asked for
      {U'\u0250', ""},                           // IPA, beyond the table
      {U'\u0427', ""},                           // Cyrillic
      {U'\u0301', ""},                           // a combining mark on its own
      {U'\u2013', ""},                           // typographic: --sostituisci's, not this table's
  };
  for (const NearestCase& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.letter));
    EXPECT_EQ(std::string(nearestLatin1(c.letter)), c.latin1);
  }
}

}  // namespace
}  // namespace indicizza
