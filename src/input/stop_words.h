// The stop-word list: words that are never indexed, one per line of
// noused.txt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_hash.h"
#include "base/status.h"

namespace indicizza {

inline constexpr const char* kStopWordFileName = "noused.txt";

// The messages of the stop-word file's failures.
inline constexpr const char* kStopWordFileOpenFailed = "File noused.txt indefinito";
inline constexpr const char* kStopWordFileReadFailed = "Errore durante la lettura di noused.txt";

// A set of byte strings; duplicates collapse. Membership is exact byte
// equality, looked up in a small flat hash table (it is asked about every
// word of every record). May hold the empty string, which matches no term.
class StopWordSet {
 public:
  void insert(std::string_view word);
  bool contains(std::string_view word) const { return contains(word, hashBytes(word)); }
  // The same with the word's hash already computed (hashBytes). Most words
  // asked about are no stop words: a word whose length or first byte no
  // stop word has is turned away before the table is probed.
  bool contains(std::string_view word, std::uint32_t hash) const {
    if (!mayHold(word)) return false;
    return !slots_.empty() && slots_[slotOf(word, hash)] != 0;
  }

  // The words in unsigned byte order, for inspection.
  std::set<std::string, std::less<>> words() const { return {words_.begin(), words_.end()}; }

 private:
  // The slot where `word` (of hash `hash`) is, or the empty slot where it
  // would go.
  std::size_t slotOf(std::string_view word, std::uint32_t hash) const;

  // Lengths from kLongLength on share the mask's last bit.
  static constexpr std::size_t kLongLength = 63;
  static constexpr std::size_t kByteMaskWords = 256 / 64;
  // The bit of lengths_ for a word of `size` bytes.
  static std::uint64_t lengthBit(std::size_t size) {
    return std::uint64_t{1} << (size < kLongLength ? size : kLongLength);
  }
  // False when no word of the set has the length, or the first byte, of
  // `word`; true when one may be it.
  bool mayHold(std::string_view word) const {
    if (!(lengths_ & lengthBit(word.size()))) return false;
    if (word.empty()) return true;
    const auto first = static_cast<std::uint8_t>(word.front());
    return firstBytes_[first / 64] >> (first % 64) & 1;
  }

  // Bit n set when a word of the set has length n (kLongLength: that or
  // more); bit b of the 256 when a word starts with byte b.
  std::uint64_t lengths_ = 0;
  std::uint64_t firstBytes_[kByteMaskWords] = {};

  std::vector<std::string> words_;
  // 0 for an empty slot, else the word's index in words_ plus one. A power
  // of two in size (or empty), at most a quarter used, so that the misses
  // (most words) settle at once.
  std::vector<std::uint32_t> slots_;
};

// Applies the line rules to the whole content of a stop-word file:
// - a byte 26 (Ctrl-Z) ends the input; nothing after it is read;
// - lines end with a line feed; a carriage return right before it belongs to
//   the line end, anywhere else it is part of the word;
// - a line is taken whole, however long (no trimming, no case change), up to
//   its first zero byte;
// - every line feed starts a further line, so a final line feed adds the
//   empty string, and empty content gives just the empty string.
StopWordSet parseStopWords(std::string_view content);

// Reads `path` in binary and parses it into `set`. Fails with kCannotOpen
// when it can't be opened, kNotRegular when it is no regular file (a
// folder, a device, a named pipe: never read nor waited on), kReadFailed
// when reading fails after the open; `set` is then left as it was.
Status tryLoadStopWords(const std::filesystem::path& path, StopWordSet& set);

// The phase step over tryLoadStopWords, on noused.txt of the working
// directory by default. Fatal stops: kStopWordFileOpenFailed for
// kCannotOpen and kNotRegular, kStopWordFileReadFailed for kReadFailed.
StopWordSet loadStopWords(const std::filesystem::path& path = kStopWordFileName);

}  // namespace indicizza
