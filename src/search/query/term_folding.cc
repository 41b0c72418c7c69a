#include "search/query/term_folding.h"

#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"

namespace indicizza {
namespace {

// Latin-1 letters 0xC0-0xFF and their folds, in byte order (0xD7 and 0xF7,
// the multiplication and division signs, fold to themselves).
constexpr std::array<const char*, 64> kLatin1LetterFolds = {
    "A", "A", "A", "A", "A", "A", "AE", "C",     // C0-C7  À Á Â Ã Ä Å Æ Ç
    "E", "E", "E", "E", "I", "I", "I",  "I",     // C8-CF  È É Ê Ë Ì Í Î Ï
    "D", "N", "O", "O", "O", "O", "O",  "\xD7",  // D0-D7  Ð Ñ Ò Ó Ô Õ Ö ×
    "O", "U", "U", "U", "U", "Y", "TH", "SS",    // D8-DF  Ø Ù Ú Û Ü Ý Þ ß
    "A", "A", "A", "A", "A", "A", "AE", "C",     // E0-E7  à á â ã ä å æ ç
    "E", "E", "E", "E", "I", "I", "I",  "I",     // E8-EF  è é ê ë ì í î ï
    "D", "N", "O", "O", "O", "O", "O",  "\xF7",  // F0-F7  ð ñ ò ó ô õ ö ÷
    "O", "U", "U", "U", "U", "Y", "TH", "Y",     // F8-FF  ø ù ú û ü ý þ ÿ
};
constexpr unsigned char kFirstLatin1Letter = 0xC0;
constexpr unsigned char kFeminineOrdinal = 0xAA;   // ª
constexpr unsigned char kMasculineOrdinal = 0xBA;  // º

ByteFold foldFrom(const char* text) {
  ByteFold fold{{0, 0}, 0};
  for (; *text; ++text) fold.bytes[fold.size++] = *text;
  return fold;
}

const std::array<ByteFold, 256> kFolds = [] {
  std::array<ByteFold, 256> folds{};
  for (int b = 0; b < 256; ++b) {
    const char text[2] = {asciiUpper(static_cast<char>(b)), 0};
    folds[static_cast<std::size_t>(b)] = {{text[0], 0}, 1};
  }
  for (std::size_t i = 0; i < kLatin1LetterFolds.size(); ++i) {
    folds[kFirstLatin1Letter + i] = foldFrom(kLatin1LetterFolds[i]);
  }
  folds[kFeminineOrdinal] = foldFrom("A");
  folds[kMasculineOrdinal] = foldFrom("O");
  return folds;
}();

}  // namespace

const ByteFold& foldOf(unsigned char byte) { return kFolds[byte]; }

std::string foldedText(std::string_view latin1) {
  // Folded into a buffer first (a byte folds to two at the most), so that
  // a short term takes no memory of the heap on the way.
  constexpr std::size_t kShortTerm = 32;
  std::array<char, 2 * kShortTerm> shortBuffer;
  std::string longBuffer;
  if (latin1.size() > kShortTerm) longBuffer.resize(2 * latin1.size());
  char* const start = latin1.size() > kShortTerm ? longBuffer.data() : shortBuffer.data();
  char* out = start;
  for (char c : latin1) {
    const ByteFold& fold = foldOf(static_cast<unsigned char>(c));
    out[0] = fold.bytes[0];
    out[1] = fold.bytes[1];
    out += fold.size;
  }
  return std::string(start, out);
}

std::string comparableTerm(std::string_view term, Matching matching) {
  if (matching == Matching::kFolded) return foldedText(term);
  std::string exact(term);
  if (!holdsDigit(exact)) {
    for (char& c : exact) c = asciiUpper(c);
  }
  return exact;
}

std::string asciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string shownTerm(std::string_view latin1) { return latin1ToUtf8(asciiLower(latin1)); }

}  // namespace indicizza
