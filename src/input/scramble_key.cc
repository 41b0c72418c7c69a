#include "input/scramble_key.h"

#include <cstring>

#include "input/scramble_key_constants.h"

namespace indicizza {

ScrambleKey buildScrambleKey() {
  ScrambleKey key;
  key.bytes[0] = kScrambleKeyByte0;
  key.bytes[1] = kScrambleKeyByte1;
  key.bytes[2] = kScrambleKeyByte2;
  key.bytes[3] = kScrambleKeyByte3;
  key.bytes[4] = kScrambleKeyByte4;
  key.bytes[5] = kScrambleKeyByte5;
  key.bytes[6] = kScrambleKeyByte6;
  key.bytes[7] = kScrambleKeyByte7;
  return key;
}

void descramble(std::span<std::uint8_t> bytes, const ScrambleKey& key) {
  // Eight bytes at a time: the key repeats every eight positions.
  std::uint64_t keyWord;
  static_assert(sizeof keyWord == kScrambleKeyLength);
  std::memcpy(&keyWord, key.bytes.data(), sizeof keyWord);
  std::size_t i = 0;
  for (; i + sizeof keyWord <= bytes.size(); i += sizeof keyWord) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    word ^= keyWord;
    std::memcpy(bytes.data() + i, &word, sizeof word);
  }
  for (; i < bytes.size(); ++i) bytes[i] ^= key.bytes[i % kScrambleKeyLength];
}

}  // namespace indicizza
