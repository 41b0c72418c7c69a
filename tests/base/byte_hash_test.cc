#include "base/byte_hash.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace indicizza {
namespace {

// hashZeroPadded must give hashBytes' value, or a term hashed one way would
// not be found in a table filled the other way. Every length up to three
// chunks, with bytes of every kind (high bytes, and zeros inside the string).
TEST(HashZeroPadded, GivesHashBytesForEveryLength) {
  const std::string source = std::string("A\xFF\x80z\0QRSTUVWXYZ0123456789abc", 28) + "\x01\x7F";
  for (std::size_t size = 0; size <= source.size(); ++size) {
    std::array<char, 48> padded{};
    source.copy(padded.data(), size);
    EXPECT_EQ(hashZeroPadded(padded.data(), size), hashBytes(source.substr(0, size)))
        << size << " bytes";
  }
}

}  // namespace
}  // namespace indicizza
