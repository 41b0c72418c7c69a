#include "base/byte_hash.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace indicizza {
namespace {

// The hash taken a chunk at a time must give hashBytes' value, or a term
// hashed one way would not be found in a table filled the other way. Every
// length up to three chunks, with bytes of every kind (high bytes, and zeros
// inside the string).
TEST(HashChunks, GiveHashBytesForEveryLength) {
  const std::string source = std::string("A\xFF\x80z\0QRSTUVWXYZ0123456789abc", 28) + "\x01\x7F";
  for (std::size_t size = 0; size <= source.size(); ++size) {
    std::array<char, 48> padded{};
    source.copy(padded.data(), size);
    std::uint64_t hash = hashStart(size);
    for (std::size_t i = 0; i < size; i += kHashChunkBytes) {
      std::uint64_t chunk;
      std::memcpy(&chunk, padded.data() + i, sizeof chunk);
      hash = hashChunk(hash, chunk);
    }
    EXPECT_EQ(hashEnd(hash), hashBytes(source.substr(0, size))) << size << " bytes";
  }
}

}  // namespace
}  // namespace indicizza
