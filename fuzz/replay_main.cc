// Replays a corpus through a fuzz target without libFuzzer, so the normal
// (g++) builds run every committed input as a regression test.
//
// Usage: replay-<target> PATH...   Each PATH is a file or a directory whose
// regular files are fed, one by one and in name order, to the target's
// LLVMFuzzerTestOneInput. A failing input aborts (or the sanitizers stop the
// process); exit status 0 means every input ran through, 2 a path that
// can't be read or a corpus with no input at all.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& path) {
  if (!std::filesystem::is_directory(path)) return {path};
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& file : inputsOf(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
      if (!in.good() && !in.eof()) {
        std::cerr << "cannot read " << file << "\n";
        return 2;
      }
      std::cout << "replaying " << file.filename().string() << " (" << bytes.size() << " bytes)\n";
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::cout << replayed << " inputs replayed\n";
  return replayed == 0 ? 2 : 0;
}
