#include "support/btree_files.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "support/scratch_dir.h"

namespace indicizza::testing {
namespace {

std::string shellQuote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string hexBytes(const std::string& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

}  // namespace

std::vector<StoredItem> dumpDatabase(const std::filesystem::path& path) {
  const std::string command = "db5.3_dump " + shellQuote(path.string()) + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run db5.3_dump");
  std::string text;
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
  if (pclose(pipe) != 0) throw std::runtime_error("db5.3_dump failed on " + path.string());

  // Bytevalue format: header lines up to HEADER=END, then one line per key and
  // one per data item, each a blank followed by hex digits, then DATA=END.
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line) && line != "HEADER=END") {}
  std::vector<StoredItem> items;
  std::string key;
  bool haveKey = false;
  while (std::getline(lines, line) && line != "DATA=END") {
    const std::string bytes = unhex(line.substr(1));
    if (!haveKey) {
      key = bytes;
    } else {
      items.emplace_back(key, bytes);
    }
    haveKey = !haveKey;
  }
  return items;
}

namespace {

// db5.3_load of `items` into `path`, with the `options` given before the file
// names.
void load(const std::filesystem::path& path, const std::vector<StoredItem>& items,
          const std::string& type, const std::string& header, const std::string& options) {
  std::string input = "VERSION=3\nformat=bytevalue\ntype=" + type + "\n" + header + "HEADER=END\n";
  for (const auto& [key, data] : items)
    input += " " + hexBytes(key) + "\n " + hexBytes(data) + "\n";
  input += "DATA=END\n";
  const std::filesystem::path inputPath = path.string() + ".load-input";
  writeFile(inputPath, input);
  const std::string command = "db5.3_load " + options + "-f " + shellQuote(inputPath.string()) +
                              " " + shellQuote(path.string()) + " 2>/dev/null";
  const int status = std::system(command.c_str());
  std::filesystem::remove(inputPath);
  if (status != 0) throw std::runtime_error("db5.3_load failed on " + path.string());
}

}  // namespace

void loadDatabase(const std::filesystem::path& path, const std::vector<StoredItem>& items,
                  const std::string& type, const std::string& header) {
  load(path, items, type, header, "");
}

void loadEncryptedDatabase(const std::filesystem::path& path,
                           const std::vector<StoredItem>& items) {
  load(path, items, "btree", "", "-P secret ");
}

bool verifyDatabase(const std::filesystem::path& path) {
  const std::string command = "db5.3_verify -q " + shellQuote(path.string()) + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::string recordKey(std::int32_t number) {
  const auto u = static_cast<std::uint32_t>(number);
  std::string key(4, '\0');
  for (int i = 0; i < 4; ++i) key[static_cast<std::size_t>(i)] = static_cast<char>(u >> (8 * i));
  return key;
}

}  // namespace indicizza::testing
