#include "support/run_states.h"

#include <gtest/gtest.h>

#include "generator/catalogue_generator.h"
#include "input/scramble_key.h"
#include "support/program_run.h"

namespace indicizza::testing {
namespace {

void writeCatalogue(const std::filesystem::path& folder, std::uint64_t records,
                    std::uint64_t seed) {
  std::string content;
  const ScrambleKey key = buildScrambleKey();
  generator::generateCatalogue({.records = records, .seed = seed}, [&](const PlainRecord& record) {
    const auto bytes = record.scrambled(key);
    content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  });
  writeFile(folder / "opere.cry", content);
  writeFile(folder / "noused.txt", generator::generatedStopWords());
}

void copyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

RunStates::RunStates(std::uint64_t earlierRecords, std::uint64_t fileRecords) {
  ScratchDir earlier;
  writeCatalogue(earlier.path(), earlierRecords, 1);
  loadDatabase(earlier / "opere.ddb", {});
  if (runIndexer(earlier.path()).exitStatus != 0)
    throw std::runtime_error("the earlier run failed");
  dataBefore_ = dumpDatabase(earlier / "opere.ddb");
  indexBefore_ = dumpDatabase(earlier / "opere.idb");
  // Moved, not copied: they stay the files the run left, with what it
  // proved of them.
  std::filesystem::rename(earlier / "opere.ddb", files_ / "earlier.ddb");
  std::filesystem::rename(earlier / "opere.idb", files_ / "earlier.idb");
  writeCatalogue(files_.path(), fileRecords, 2);

  ScratchDir whole;
  prepare(whole.path());
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run = runIndexer(whole.path());
  duration_ = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  if (run.exitStatus != 0) throw std::runtime_error("the whole run failed: " + run.output);
  transcript_ = run.output;
  dataAfter_ = dumpDatabase(whole / "opere.ddb");
  indexAfter_ = dumpDatabase(whole / "opere.idb");
}

void RunStates::prepare(const std::filesystem::path& folder) const { prepare(folder, folder); }

void RunStates::prepareLinked(const std::filesystem::path& folder) const {
  std::filesystem::create_hard_link(files_ / "earlier.ddb", folder / "opere.ddb");
  std::filesystem::create_hard_link(files_ / "earlier.idb", folder / "opere.idb");
  copyFile(files_ / "opere.cry", folder / "opere.cry");
  copyFile(files_ / "noused.txt", folder / "noused.txt");
}

void RunStates::prepare(const std::filesystem::path& inputFolder,
                        const std::filesystem::path& databaseFolder) const {
  copyFile(files_ / "earlier.ddb", databaseFolder / "opere.ddb");
  copyFile(files_ / "earlier.idb", databaseFolder / "opere.idb");
  copyFile(files_ / "opere.cry", inputFolder / "opere.cry");
  copyFile(files_ / "noused.txt", inputFolder / "noused.txt");
  if (inputFolder != databaseFolder) {
    std::filesystem::create_symlink(inputFolder / "opere.cry", databaseFolder / "opere.cry");
    std::filesystem::create_symlink(inputFolder / "noused.txt", databaseFolder / "noused.txt");
  }
}

void RunStates::expectWholeStates(const std::filesystem::path& folder, std::string& data,
                                  std::string& index) const {
  const auto stateOf = [](const std::filesystem::path& path, const std::vector<StoredItem>& before,
                          const std::vector<StoredItem>& after) -> std::string {
    if (!verifyDatabase(path)) return "damaged";
    const auto items = dumpDatabase(path);
    return items == before ? "before" : items == after ? "after" : "mixed";
  };
  data = stateOf(folder / "opere.ddb", dataBefore_, dataAfter_);
  index = stateOf(folder / "opere.idb", indexBefore_, indexAfter_);
  EXPECT_TRUE(data == "before" || data == "after") << "opere.ddb: " << data;
  EXPECT_TRUE(index == "before" || index == "after") << "opere.idb: " << index;
  // The index is new only over the new data.
  EXPECT_FALSE(index == "after" && data == "before");
}

}  // namespace indicizza::testing
