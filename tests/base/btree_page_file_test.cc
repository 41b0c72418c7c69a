// Which existing files the load may write again from nothing as pages: an
// empty B-tree whose every setting the writer makes again, and no other.
#include "base/btree_page_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/btree_files.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

struct EmptyTreeCase {
  const char* what;
  std::vector<testing::StoredItem> items;
  std::string header;  // of db5.3_load
  std::optional<std::size_t> pageSize;
};

TEST(EmptyTreePageSize, IsFoundOnlyForAnEmptyTreeTheWriterMakesAgain) {
  const EmptyTreeCase cases[] = {
      {"empty", {}, "db_pagesize=4096\n", 4096},
      {"empty, smallest pages", {}, "db_pagesize=512\n", 512},
      {"empty, largest pages", {}, "db_pagesize=65536\n", 65536},
      {"one item", {{"k", "v"}}, "", std::nullopt},
      {"the other byte order", {}, "db_lorder=4321\n", std::nullopt},
      {"more keys per page", {}, "bt_minkey=3\n", std::nullopt},
      {"record numbers", {}, "recnum=1\n", std::nullopt},
      {"page checksums", {}, "chksum=1\n", std::nullopt},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    testing::loadDatabase(dir / "a.db", c.items, "btree", c.header);
    EXPECT_EQ(emptyTreePageSize(dir / "a.db"), c.pageSize) << c.what;
  }
}

}  // namespace
}  // namespace indicizza
