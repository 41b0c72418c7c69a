// Creating a database file through the Berkeley DB layer: the file gets no
// other name on the way (the library's own create would use __db.NAME first,
// and wait 100 seconds on one a killed process left), and a file that is
// already there is never touched.
#include <gtest/gtest.h>

#include "base/berkeley_db.h"
#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct CreationCase {
  const char* name;
  const char* existing;    // the file at the path before, if any
  bool leftoverTemporary;  // __db.NAME beside it, as a killed create leaves it
  bool created;
  friend void PrintTo(const CreationCase& c, std::ostream* os) { *os << c.name; }
};

class DatabaseCreation : public ::testing::TestWithParam<CreationCase> {};

TEST_P(DatabaseCreation, MakesTheFileUnderItsOwnNameOrLeavesWhatIsThere) {
  testing::ScratchDir dir;
  const auto path = dir / "x.db";
  const auto temporary = dir / "__db.x.db";
  if (GetParam().existing) testing::writeFile(path, GetParam().existing);
  if (GetParam().leftoverTemporary) testing::writeFile(temporary, "");

  bdb::Database database;
  const Status opened = database.open(path.c_str(), bdb::OpenMode::kCreateNew);
  const Status closed = database.close();
  if (GetParam().created) {
    EXPECT_TRUE(opened.ok()) << opened.text();
    EXPECT_TRUE(closed.ok()) << closed.text();
    EXPECT_TRUE(testing::verifyDatabase(path));
  } else {
    EXPECT_EQ(opened.code(), Status::Code::kCannotOpen);
    EXPECT_EQ(testing::readFile(path), GetParam().existing);
  }
  EXPECT_EQ(std::filesystem::exists(temporary), GetParam().leftoverTemporary);
}

INSTANTIATE_TEST_SUITE_P(
    BerkeleyDb, DatabaseCreation,
    ::testing::Values(CreationCase{"New", nullptr, false, true},
                      CreationCase{"BesideALeftoverTemporaryName", nullptr, true, true},
                      CreationCase{"OverAFileWithContent", "not a database", false, false},
                      CreationCase{"OverAnEmptyFile", "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
