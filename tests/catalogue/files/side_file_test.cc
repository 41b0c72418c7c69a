// The side files beside a catalogue's databases: what readSideFile takes and
// what it refuses (each refusal naming the file), their lines as the
// readers take them, and SideFileCache, which makes its value again only
// for a new version of a file.
#include "catalogue/files/side_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/text/line_reader.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLimit = 8;

struct ReadCase {
  const char* name;
  std::function<void(const fs::path& file)> make;  // what stands at the file's name
  Status::Code code;
  std::string messagePart;  // of the refusal, or the text read
  bool identity;
};

class ReadSideFile : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSideFile, TakesARegularFileWithinItsLimitAndNothingElse) {
  testing::ScratchDir dir;
  GetParam().make(dir / "sinonimi.txt");
  SideFile file;
  const Status read = readSideFile("sinonimi.txt", kLimit, file, dir.path());
  EXPECT_EQ(read.code(), GetParam().code) << read.text();
  if (read.ok()) {
    EXPECT_EQ(file.text, GetParam().messagePart);
  } else {
    EXPECT_NE(read.text().find("sinonimi.txt " + GetParam().messagePart), std::string::npos)
        << read.text();
  }
  EXPECT_EQ(file.identity.has_value(), GetParam().identity);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadSideFile,
    ::testing::Values(
        ReadCase{"NotThere", [](const fs::path&) {}, Status::Code::kOk, "", false},
        ReadCase{"AtTheLimit", [](const fs::path& file) { testing::writeFile(file, "12345678"); },
                 Status::Code::kOk, "12345678", true},
        ReadCase{"PastTheLimit",
                 [](const fs::path& file) { testing::writeFile(file, "123456789"); },
                 Status::Code::kReadFailed, "è troppo grande: 9 byte, al massimo 8", false},
        ReadCase{"LinkToAFile",
                 [](const fs::path& file) {
                   testing::writeFile(file.parent_path() / "real.txt", "a b");
                   fs::create_symlink("real.txt", file);
                 },
                 Status::Code::kOk, "a b", true},
        ReadCase{"Folder", [](const fs::path& file) { fs::create_directory(file); },
                 Status::Code::kCannotOpen, "non è un file regolare", false},
        ReadCase{"NamedPipe",
                 [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
                 Status::Code::kCannotOpen, "non è un file regolare", false},
        ReadCase{"LinkLoop",
                 [](const fs::path& file) {
                   fs::create_symlink("other.txt", file);
                   fs::create_symlink(file.filename(), file.parent_path() / "other.txt");
                 },
                 Status::Code::kCannotOpen, "è un collegamento simbolico in un ciclo", false},
        ReadCase{
            "LinkToNothing", [](const fs::path& file) { fs::create_symlink("gone.txt", file); },
            Status::Code::kCannotOpen, "è un collegamento simbolico a un file che non c'è", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A byte-order mark and CR LF line ends are no part of the first word or of
// the last.
TEST(TextLines, LeaveOutTheByteOrderMarkAndCarriageReturns) {
  struct Case {
    std::string text;
    std::vector<std::string_view> lines;
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBFsong lied\r\nfugue fuga\r\n", {"song lied", "fugue fuga"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\rb\n", {"a\rb"}},                              // a CR inside a line stays
      {"a \xEF\xBB\xBF\n", {"a \xEF\xBB\xBF"}},          // a mark past the start stays
      {"\xEF\xBB\xBF\xEF\xBB\xBFx", {"\xEF\xBB\xBFx"}},  // one mark left out, no more
      {"\xEF\xBB\xBF", {}}};
  for (const Case& c : cases) EXPECT_EQ(textLines(c.text), c.lines) << c.text;
}

// The value made of two side files, and how many times it was made.
class Cache : public ::testing::Test {
 protected:
  Cache()
      : inFolder_(dir_.path()),
        cache_({{"noused.txt", kLimit}, {"sinonimi.txt", kLimit}},
               [this](const std::vector<SideFile>& files, std::string& made) {
                 ++makes_;
                 if (files[0].text == "bad") return Status::failure(Status::Code::kReadFailed);
                 made = files[0].text + files[1].text;
                 return Status();
               }) {}

  testing::ScratchDir dir_;
  testing::InFolder inFolder_;
  int makes_ = 0;
  SideFileCache<std::string> cache_;
};

TEST_F(Cache, MakesTheValueAgainOnlyForANewVersion) {
  struct Step {
    const char* what;
    std::function<void()> change;
    std::string value;  // "!" for a failure
    int makes;
  };
  const std::vector<Step> steps = {
      {"first", [] {}, "", 1},
      {"unchanged and absent", [] {}, "", 1},
      {"written", [] { testing::writeFile("noused.txt", "IN"); }, "IN", 2},
      {"unchanged", [] {}, "IN", 2},
      {"longer", [] { testing::writeFile("noused.txt", "IN\nTHE"); }, "IN\nTHE", 3},
      {"replaced by another of its size",
       [] {
         testing::writeFile("new.txt", "OF\nTHE");
         fs::rename("new.txt", "noused.txt");
       },
       "OF\nTHE", 4},
      {"failing", [] { testing::writeFile("noused.txt", "bad"); }, "!", 5},
      {"still failing", [] {}, "!", 6},  // a failure is not kept
      {"too big", [] { testing::writeFile("noused.txt", "123456789"); }, "!", 6},
      {"removed", [] { fs::remove("noused.txt"); }, "", 7},
      {"the other written", [] { testing::writeFile("sinonimi.txt", "a b"); }, "a b", 8},
      {"the other unchanged", [] {}, "a b", 8},
  };
  for (const Step& step : steps) {
    step.change();
    std::shared_ptr<const std::string> value;
    const Status status = cache_.current(value);
    EXPECT_EQ(status.ok() ? *value : "!", step.value) << step.what;
    EXPECT_EQ(makes_, step.makes) << step.what;
  }
}

}  // namespace
}  // namespace indicizza
