#include "input/stop_words.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/console.h"
#include "base/linear_probe.h"
#include "base/regular_file.h"

namespace indicizza {
namespace {

constexpr char kEndOfInput = 26;  // Ctrl-Z
constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';

constexpr std::size_t kFirstSlotCount = 16;
constexpr std::size_t kSlotsPerWord = 4;

}  // namespace

std::size_t StopWordSet::slotOf(std::string_view word, std::uint32_t hash) const {
  return probeSlot(slots_, hash, [&](std::uint32_t slot) { return words_[slot - 1] == word; });
}

void StopWordSet::insert(std::string_view word) {
  if (contains(word)) return;
  words_.emplace_back(word);
  lengths_ |= lengthBit(word.size());
  if (!word.empty()) {
    const auto first = static_cast<std::uint8_t>(word.front());
    firstBytes_[first / 64] |= std::uint64_t{1} << (first % 64);
  }
  if (words_.size() * kSlotsPerWord > slots_.size()) {
    slots_.assign(std::max(kFirstSlotCount, slots_.size() * 2), 0);
    for (std::size_t w = 0; w < words_.size(); ++w) {
      slots_[probeEmptySlot(slots_, hashBytes(words_[w]))] = static_cast<std::uint32_t>(w + 1);
    }
  } else {
    slots_[slotOf(word, hashBytes(word))] = static_cast<std::uint32_t>(words_.size());
  }
}

StopWordSet parseStopWords(std::string_view content) {
  content = content.substr(0, content.find(kEndOfInput));
  StopWordSet set;
  for (;;) {
    const std::size_t lineEnd = content.find(kLineFeed);
    std::string_view line = content.substr(0, lineEnd);
    if (lineEnd != std::string_view::npos && line.ends_with(kCarriageReturn)) {
      line.remove_suffix(1);
    }
    set.insert(line.substr(0, line.find('\0')));
    if (lineEnd == std::string_view::npos) break;
    content.remove_prefix(lineEnd + 1);
  }
  return set;
}

Status tryLoadStopWords(const std::filesystem::path& path, StopWordSet& set) {
  int fd = -1;
  const Status opened = openRegularFile(path.c_str(), O_RDONLY, fd);
  if (!opened.ok()) return opened;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    const Status failure = Status::systemFailure(Status::Code::kCannotOpen, errno);
    close(fd);
    return failure;
  }
  std::string content;
  char chunk[1 << 16];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, n);
  if (std::ferror(file.get())) return Status::systemFailure(Status::Code::kReadFailed, errno);
  set = parseStopWords(content);
  return {};
}

StopWordSet loadStopWords(const std::filesystem::path& path) {
  StopWordSet set;
  const Status loaded = tryLoadStopWords(path, set);
  if (loaded.code() == Status::Code::kCannotOpen || loaded.code() == Status::Code::kNotRegular)
    fatalStop(kStopWordFileOpenFailed);
  if (!loaded.ok()) fatalStop(kStopWordFileReadFailed);
  return set;
}

}  // namespace indicizza
