// Fuzz target: the B-tree writer on item sets of every shape.
//
// The input picks a page size and then describes items: for each, a seed
// and an alphabet for its key (few letters make long shared prefixes, so
// separators of every length), and a length class for the key and for the
// data, from a few bytes through the overflow threshold to megabytes. The
// items are sorted, written with the writer (each key given twice: the
// second must be refused), and the file must pass the page check and read
// back through the library, item for item, in order.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "base/berkeley_db.h"
#include "base/btree_pages.h"
#include "base/btree_writer.h"

namespace {

using namespace indicizza;

// What one input may write in all, so that a run stays short.
constexpr std::size_t kMostBytes = std::size_t{24} << 20;
constexpr std::size_t kMostItems = 20000;

void require(bool condition) {
  if (!condition) std::abort();
}

// Reads the input a byte at a time; zeros once it is used up.
struct InputBytes {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t next() { return size == 0 ? 0 : (--size, *data++); }
  std::size_t word() { return next() | std::size_t{next()} << 8; }
};

// A length from a 16-bit word: its top two bits choose a class (short,
// around the threshold, up to 16 kB, up to 4 MB).
std::size_t lengthOf(std::size_t word, std::size_t threshold) {
  const std::size_t low = word & 0x3FFF;
  switch (word >> 14) {
    case 0: return low % 64;
    case 1: return threshold - 8 + low % 16;
    case 2: return low;
    default: return low << 8;
  }
}

std::string keyOf(std::uint8_t seed, std::uint8_t alphabet, std::size_t length) {
  std::string key(length, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : key) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(0x7E + (state >> 24) % (alphabet % 4 + 1));  // across the sign bit
  }
  return key;
}

std::map<std::string, std::string> itemsOf(InputBytes& input, std::size_t threshold) {
  std::map<std::string, std::string> items;
  std::size_t bytes = 0;
  while (input.size > 0 && items.size() < kMostItems) {
    const std::uint8_t seed = input.next();
    const std::uint8_t alphabet = input.next();
    const std::size_t keyLength = lengthOf(input.word(), threshold);
    const std::size_t dataLength = lengthOf(input.word(), threshold);
    if (bytes + keyLength + dataLength > kMostBytes) break;
    bytes += keyLength + dataLength;
    items.emplace(keyOf(seed, alphabet, keyLength),
                  std::string(dataLength, static_cast<char>(seed)));
  }
  return items;
}

// Every item of the file at `path`, read through the library, must be the
// next of `items`, and none may be missing.
void requireReadBack(const std::filesystem::path& path,
                     const std::map<std::string, std::string>& items) {
  bdb::Database database;
  require(database.open(path.c_str(), bdb::OpenMode::kReadOnly).ok());
  bdb::Cursor cursor;
  require(database.openCursor(cursor).ok());
  bdb::Item key;
  bdb::Item data;
  auto expected = items.begin();
  for (Status step = cursor.first(key, data); step.ok(); step = cursor.next(key, data)) {
    require(expected != items.end() && key.text() == expected->first &&
            data.text() == expected->second);
    ++expected;
  }
  require(expected == items.end());
  require(cursor.close().ok());
  require(database.close().ok());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputBytes input{data, size};
  const std::size_t pageSize = btree_layout::kSmallestPageSize << (input.next() % 8);
  const auto items = itemsOf(input, btree_layout::overflowThreshold(pageSize));

  std::string path = (std::filesystem::temp_directory_path() / "btree_writer_fuzz.XXXXXX").string();
  const int fd = mkstemp(path.data());
  require(fd >= 0);
  BtreeWriter writer(fd, pageSize);
  for (const auto& [key, value] : items) {
    require(writer.add(bdb::bytesOf(key), bdb::bytesOf(value)).ok());
    require(writer.add(bdb::bytesOf(key), bdb::bytesOf(value)).code() ==
            Status::Code::kWriteFailed);
  }
  require(writer.finish().ok());
  close(fd);
  require(checkBtreeFile(path).ok());
  requireReadBack(path, items);
  std::filesystem::remove(path);
  return 0;
}
