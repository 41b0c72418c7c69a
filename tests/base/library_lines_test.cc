// The library's own lines: they reach the route in place rather than
// standard error, routes nest, and the count of the lines after the first is
// worded as Italian writes numbers.
#include "base/library_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/berkeley_db.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct CountCase {
  std::uint64_t others;
  const char* note;
};

TEST(LibraryLines, TheCountOfTheOthersIsWrittenWithThousandsDots) {
  const CountCase cases[] = {
      {0, ""},
      {1, "(e un'altra riga della libreria)"},
      {2, "(e altre 2 righe della libreria)"},
      {999, "(e altre 999 righe della libreria)"},
      {1000, "(e altre 1.000 righe della libreria)"},
      {1623, "(e altre 1.623 righe della libreria)"},
      {1234567, "(e altre 1.234.567 righe della libreria)"},
  };
  for (const CountCase& c : cases) EXPECT_EQ(otherLibraryLinesNote(c.others), c.note) << c.others;
}

// Opens a file that is no B-tree: the library explains why in a line of its
// own.
void openAHashFile(const std::filesystem::path& path) {
  bdb::Database database;
  EXPECT_EQ(database.open(path.c_str(), bdb::OpenMode::kReadOnly).code(),
            Status::Code::kCannotOpen);
}

TEST(LibraryLines, ReachTheInnermostRouteAndNoOtherSink) {
  testing::ScratchDir dir;
  const auto path = dir / "hash.db";
  testing::loadDatabase(path, {{"key", "data"}}, "hash");
  std::vector<std::string> outer;
  {
    const LibraryLineRoute outerRoute([&](std::string_view line) { outer.emplace_back(line); });
    ::testing::internal::CaptureStderr();
    {
      const GatheredLibraryLines inner;
      openAHashFile(path);
      openAHashFile(path);
      const BoundedLines gathered = inner.lines();
      EXPECT_EQ(gathered.count, 2u);
      EXPECT_NE(gathered.first.find("hash.db: unexpected file type or format"), std::string::npos)
          << gathered.first;
    }
    EXPECT_TRUE(outer.empty());
    openAHashFile(path);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
  ASSERT_EQ(outer.size(), 1u);
  EXPECT_NE(outer[0].find("BDB"), std::string::npos) << outer[0];
}

}  // namespace
}  // namespace indicizza
