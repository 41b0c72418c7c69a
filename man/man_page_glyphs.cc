// man-page-glyphs INPUT OUTPUT
//
// Makes a man page as scdoc writes it (roff in UTF-8) render in any locale:
// OUTPUT is INPUT with, first, the line that declares its coding (man and
// preconv read it), then, for each letter or sign beyond ASCII the page
// uses, a line that gives groff a plain ASCII stand-in where the output
// device has no glyph for it (LANG=C: the ascii device), such as
//   .if !c\[u0159] .char \[u0159] r
// Where the device has the glyph (a UTF-8 locale) the page shows it as
// written. A character with no stand-in in the table below stops the build,
// naming it: add it there.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace {

struct StandIn {
  char32_t codePoint;
  std::string_view ascii;
};

// Latin-1's letters and signs, and the others the pages use; roff text
// (a double quote is \(dq: .char would drop a leading one).
constexpr StandIn kStandIns[] = {
    {U'\u00A7', "S"},     {U'\u00AA', "a"},     {U'\u00AB', "<<"},  {U'\u00B0', "o"},
    {U'\u00BA', "o"},     {U'\u00BB', ">>"},    {U'\u00C0', "A"},   {U'\u00C1', "A"},
    {U'\u00C2', "A"},     {U'\u00C3', "A"},     {U'\u00C4', "A"},   {U'\u00C5', "A"},
    {U'\u00C6', "AE"},    {U'\u00C7', "C"},     {U'\u00C8', "E"},   {U'\u00C9', "E"},
    {U'\u00CA', "E"},     {U'\u00CB', "E"},     {U'\u00CC', "I"},   {U'\u00CD', "I"},
    {U'\u00CE', "I"},     {U'\u00CF', "I"},     {U'\u00D0', "D"},   {U'\u00D1', "N"},
    {U'\u00D2', "O"},     {U'\u00D3', "O"},     {U'\u00D4', "O"},   {U'\u00D5', "O"},
    {U'\u00D6', "O"},     {U'\u00D7', "x"},     {U'\u00D8', "O"},   {U'\u00D9', "U"},
    {U'\u00DA', "U"},     {U'\u00DB', "U"},     {U'\u00DC', "U"},   {U'\u00DD', "Y"},
    {U'\u00DE', "TH"},    {U'\u00DF', "ss"},    {U'\u00E0', "a"},   {U'\u00E1', "a"},
    {U'\u00E2', "a"},     {U'\u00E3', "a"},     {U'\u00E4', "a"},   {U'\u00E5', "a"},
    {U'\u00E6', "ae"},    {U'\u00E7', "c"},     {U'\u00E8', "e"},   {U'\u00E9', "e"},
    {U'\u00EA', "e"},     {U'\u00EB', "e"},     {U'\u00EC', "i"},   {U'\u00ED', "i"},
    {U'\u00EE', "i"},     {U'\u00EF', "i"},     {U'\u00F0', "d"},   {U'\u00F1', "n"},
    {U'\u00F2', "o"},     {U'\u00F3', "o"},     {U'\u00F4', "o"},   {U'\u00F5', "o"},
    {U'\u00F6', "o"},     {U'\u00F7', "/"},     {U'\u00F8', "o"},   {U'\u00F9', "u"},
    {U'\u00FA', "u"},     {U'\u00FB', "u"},     {U'\u00FC', "u"},   {U'\u00FD', "y"},
    {U'\u00FE', "th"},    {U'\u00FF', "y"},     {U'\u0141', "L"},   {U'\u0142', "l"},
    {U'\u0150', "O"},     {U'\u0151', "o"},     {U'\u0152', "OE"},  {U'\u0153', "oe"},
    {U'\u0158', "R"},     {U'\u0159', "r"},     {U'\u016E', "U"},   {U'\u016F', "u"},
    {U'\u01C4', "DZ"},    {U'\u01C6', "dz"},    {U'\u01D7', "U"},   {U'\u01D8', "u"},
    {U'\u2013', "-"},     {U'\u2014', "--"},    {U'\u2018', "'"},   {U'\u2019', "'"},
    {U'\u201C', "\\(dq"}, {U'\u201D', "\\(dq"}, {U'\u2026', "..."}, {U'\u2192', "->"},
};

std::optional<std::string_view> standInFor(char32_t codePoint) {
  for (const StandIn& standIn : kStandIns)
    if (standIn.codePoint == codePoint) return standIn.ascii;
  return std::nullopt;
}

// The code point of the UTF-8 sequence at `text[at]`, and its length; none
// for a byte that starts no valid sequence.
std::optional<std::pair<char32_t, std::size_t>> decodeAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
  if (length == 0 || at + length > text.size()) return std::nullopt;
  char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return std::nullopt;
    codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
  }
  return std::pair{codePoint, length};
}

std::string groffName(char32_t codePoint) {
  char name[16];
  std::snprintf(name, sizeof name, "\\[u%04X]", static_cast<unsigned>(codePoint));
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: man-page-glyphs INPUT OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream read;
  read << in.rdbuf();
  const std::string page = read.str();
  if (!in) {
    std::cerr << "man-page-glyphs: cannot read " << argv[1] << "\n";
    return 1;
  }

  std::map<char32_t, std::string_view> used;
  for (std::size_t at = 0; at < page.size();) {
    const auto decoded = decodeAt(page, at);
    if (!decoded) {
      std::cerr << "man-page-glyphs: " << argv[1] << ": not UTF-8 at byte " << at << "\n";
      return 1;
    }
    const auto [codePoint, length] = *decoded;
    if (codePoint >= 0x80 && !used.contains(codePoint)) {
      const std::optional<std::string_view> ascii = standInFor(codePoint);
      if (!ascii) {
        std::cerr << "man-page-glyphs: " << argv[1] << " uses U+" << std::hex << std::uppercase
                  << static_cast<unsigned>(codePoint)
                  << ", which has no ASCII stand-in: add one to man/man_page_glyphs.cc\n";
        return 1;
      }
      used.emplace(codePoint, *ascii);
    }
    at += length;
  }

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << ".\\\" -*- coding: UTF-8 -*-\n";
  for (const auto& [codePoint, ascii] : used) {
    const std::string name = groffName(codePoint);
    out << ".if !c" << name << " .char " << name << " " << ascii << "\n";
  }
  out << page;
  if (!out.flush()) {
    std::cerr << "man-page-glyphs: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
