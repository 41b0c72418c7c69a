#include "generator/catalogue_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace indicizza::generator {
namespace {

// splitmix64: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  std::uint64_t below(std::uint64_t n) { return next() % n; }
  bool chance(double p) { return unit() < p; }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 40> kStopWords = {
    "di", "la",  "il", "e",  "del", "della", "in",  "per", "con", "da",  "le",  "un",  "una", "the",
    "of", "and", "a",  "op", "no",  "de",    "des", "du",  "et",  "der", "die", "das", "und", "von",
    "zu", "for", "al", "ai", "gli", "dei",   "nel", "sul", "tra", "fra", "ed",  "o"};

constexpr std::array<std::string_view, 48> kSyllables = {
    "ba", "be", "ca", "co", "da", "de", "do",  "fa",  "fi",  "ga",  "gi",  "la",
    "le", "li", "lo", "ma", "me", "mi", "mo",  "na",  "ne",  "no",  "pa",  "pe",
    "pi", "po", "ra", "re", "ri", "ro", "sa",  "se",  "si",  "so",  "ta",  "te",
    "ti", "to", "va", "ve", "vi", "za", "ton", "mar", "ser", "cor", "lin", "ust"};

// Latin-1 accented vowels: à è é ì ò ù.
constexpr std::array<char, 6> kAccented = {'\xE0', '\xE8', '\xE9', '\xEC', '\xF2', '\xF9'};

constexpr std::array<std::string_view, 8> kCataloguePrefixes = {"BWV", "KV", "HOB", "D",
                                                                "RV",  "OP", "WOO", "L"};
constexpr std::array<std::string_view, 8> kKindCodes = {"PF", "VO", "OR", "CH",
                                                        "OG", "CM", "AR", "AL"};

constexpr std::size_t kVocabularySize = 2'000'000;
constexpr double kZipfExponent = 1.2;
constexpr RecordNumber kLargestRecordNumber = 999'999;

// The word of vocabulary rank `rank`: two to four syllables chosen by a hash
// of the rank, sometimes with an accented vowel.
std::string wordOfRank(std::uint64_t rank) {
  Random hash(rank * 0x2545F4914F6CDD1Dull + 7);
  const std::size_t syllables = 2 + hash.below(rank < 2000 ? 2 : 3);
  std::string word;
  for (std::size_t i = 0; i < syllables; ++i) word += kSyllables[hash.below(kSyllables.size())];
  if (hash.chance(0.08)) word[1] = kAccented[hash.below(kAccented.size())];
  return word;
}

// Inverse-CDF sampling of Zipf ranks over the vocabulary.
class ZipfRanks {
 public:
  ZipfRanks() : cumulative_(kVocabularySize) {
    double sum = 0;
    for (std::size_t r = 0; r < kVocabularySize; ++r) {
      sum += std::pow(static_cast<double>(r + 1), -kZipfExponent);
      cumulative_[r] = sum;
    }
    for (double& c : cumulative_) c /= sum;
  }
  std::uint64_t draw(Random& random) const {
    const double u = random.unit();
    return static_cast<std::uint64_t>(std::lower_bound(cumulative_.begin(), cumulative_.end(), u) -
                                      cumulative_.begin());
  }

 private:
  std::vector<double> cumulative_;
};

std::string withCase(std::string word, Random& random) {
  const double c = random.unit();
  if (c < 0.7) {
    if (word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
  } else if (c < 0.8) {
    for (char& ch : word) {
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
  }
  return word;
}

std::string digitToken(Random& random) {
  switch (random.below(4)) {
    case 0: return "op" + std::to_string(1 + random.below(120));
    case 1: return std::to_string(1600 + random.below(350));
    case 2: return "K." + std::to_string(1 + random.below(626));
    default: return "n." + std::to_string(1 + random.below(30));
  }
}

// The running text of one record: 20-40 content words with stop words and
// digit tokens among them.
std::vector<std::string> tokensOfRecord(const ZipfRanks& zipf, Random& random) {
  std::vector<std::string> tokens;
  const std::uint64_t words = 20 + random.below(21);
  for (std::uint64_t i = 0; i < words; ++i) {
    if (random.chance(0.25)) tokens.emplace_back(kStopWords[random.below(kStopWords.size())]);
    if (random.chance(0.05)) tokens.push_back(digitToken(random));
    std::string word = withCase(wordOfRank(zipf.draw(random)), random);
    if (random.chance(0.03)) word = (random.chance(0.5) ? "L'" : "dell'") + word;
    if (random.chance(0.05)) word += random.chance(0.5) ? "," : ".";
    tokens.push_back(std::move(word));
  }
  return tokens;
}

// Fills the seven text fields in order with whole tokens while they fit.
void fillTextFields(PlainRecord& record, const std::vector<std::string>& tokens) {
  std::size_t next = 0;
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    std::string text;
    while (next < tokens.size() && text.size() + (text.empty() ? 0 : 1) + tokens[next].size() <=
                                       kTextFields[field].length) {
      if (!text.empty()) text += ' ';
      text += tokens[next++];
    }
    record.textField(static_cast<int>(field + 1), text);
  }
}

void fillCodeFields(PlainRecord& record, Random& random) {
  const auto prefix = kCataloguePrefixes[random.below(kCataloguePrefixes.size())];
  const auto number = static_cast<std::uint64_t>(std::pow(1.0 - random.unit(), -1.5));
  record.codeField(1, std::string(prefix) + std::to_string(1 + number % 5000));
  if (random.chance(0.5)) {
    record.codeField(2, "979-0-" + std::to_string(2000 + random.below(8000)) + "-" +
                            std::to_string(random.below(10)));
  }
  if (random.chance(0.05)) {
    record.codeField(3, "978" + std::to_string(1'000'000'000 + random.below(9'000'000'000)));
  }
  if (random.chance(0.6)) record.codeField(4, std::to_string(1600 + random.below(350)));
  if (random.chance(0.02)) record.codeField(5, " " + std::to_string(random.below(100)) + " bis");
}

}  // namespace

void generateCatalogue(const CatalogueOptions& options,
                       const std::function<void(const PlainRecord&)>& sink) {
  static const ZipfRanks zipf;
  Random random(options.seed);
  RecordNumber lastFresh = 0;
  std::vector<RecordNumber> used;
  used.reserve(options.records);
  for (std::uint64_t i = 0; i < options.records; ++i) {
    RecordNumber number;
    if (!used.empty() && random.chance(options.repeatedNumberShare)) {
      number = used[random.below(used.size())];
    } else {
      if (lastFresh == kLargestRecordNumber) {
        throw std::out_of_range("too many records for six-character record numbers");
      }
      number = ++lastFresh;
    }
    used.push_back(number);

    PlainRecord record;
    record.recordNumber(number).kindCode(kKindCodes[random.below(kKindCodes.size())]);
    const double flags = random.unit();
    if (flags < 0.10)
      record.flags('1', '2');
    else if (flags < 0.15)
      record.flags('2', '1');
    else
      record.flags('0', '0');
    fillTextFields(record, tokensOfRecord(zipf, random));
    fillCodeFields(record, random);
    sink(record);
  }
}

std::string generatedStopWords() {
  std::string content;
  for (std::string_view word : kStopWords) {
    for (char c : word) content += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    content += '\n';
  }
  return content;
}

}  // namespace indicizza::generator
