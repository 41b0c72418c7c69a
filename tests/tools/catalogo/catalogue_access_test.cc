#include "catalogo/web/catalogue_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "generator/catalogue_generator.h"
#include "search/evaluation/kept_records.h"
#include "support/catalogue_dir.h"

namespace indicizza::catalogo {
namespace {

// A search's handle pair goes back to the pool, for the searches that
// follow, unless its reading failed: one stopped at a look (its deadline,
// its client gone) or refused by its limits leaves the pair as whole as one
// that ended, and costs the next no cold start.
TEST(CatalogueAccess, KeepsAPairUnlessItsReadingFailed) {
  testing::CatalogueDir dir;
  std::vector<PlainRecord> records;
  generator::generateCatalogue({.records = 20},
                               [&](const PlainRecord& record) { records.push_back(record); });
  dir.prepare(records, generator::generatedStopWords());
  ASSERT_EQ(dir.run().exitStatus, 0);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());

  struct Case {
    const char* name;
    Status::Code end;
    bool pairKept;
  };
  const auto kept = std::make_shared<const KeptRecord>(
      KeptRecord{DecodedRecord::fromPlain(std::vector<std::uint8_t>(8, 'x')), {}});
  for (const Case& c : {Case{"stopped", Status::Code::kInterrupted, true},
                        Case{"over its limits", Status::Code::kOverBudget, true},
                        Case{"a read failed", Status::Code::kReadFailed, false}}) {
    SCOPED_TRACE(c.name);
    CatalogueAccess access([](const std::string&) {});
    // The pair's own cache marks it: a new pair has the pool's.
    access.read("prima", [&](SearchDatabases& databases) {
      databases.kept = std::make_shared<KeptRecords>();
      KeptRecords::Reading reading = databases.kept->reading(Matching::kFolded);
      databases.kept->keep(reading, {{1, kept}});
      return Status::failure(c.end);
    });
    bool found = false;
    access.read("seconda", [&](SearchDatabases& databases) {
      found = databases.kept->reading(Matching::kFolded).find(1) != nullptr;
      return Status();
    });
    EXPECT_EQ(found, c.pairKept);
  }
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace indicizza::catalogo
