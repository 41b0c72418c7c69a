// Fuzz target: the stop-word line rules on arbitrary file content.
//
// Besides running under the sanitizers, it checks what the rules promise of
// every word: no line feed and no zero byte in it, no carriage return as its
// last byte unless it was the file's last line, no byte of the content after
// a Ctrl-Z, and never more words than lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "input/stop_words.h"

namespace {

constexpr char kEndOfInput = 26;  // Ctrl-Z

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const indicizza::StopWordSet set = indicizza::parseStopWords(content);

  const std::string_view read = content.substr(0, content.find(kEndOfInput));
  const auto lines = static_cast<std::size_t>(std::count(read.begin(), read.end(), '\n')) + 1;
  require(!set.words().empty());
  require(set.words().size() <= lines);
  for (const std::string& word : set.words()) {
    require(word.find('\n') == std::string::npos);
    require(word.find('\0') == std::string::npos);
    require(word.find(kEndOfInput) == std::string::npos);
    require(word.size() <= read.size());
    require(read.find(word) != std::string_view::npos);
  }
  return 0;
}
