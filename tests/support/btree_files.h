// Reads and writes B-tree database files with the stock Berkeley DB
// utilities (db5.3_dump and db5.3_load), so tests check the files the way any
// other reader of them would, independently of the indexer's own code.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace indicizza::testing {

// Key and data bytes of one stored item.
using StoredItem = std::pair<std::string, std::string>;

// Every item of the database at `path`, in the file's key order. Throws
// std::runtime_error if db5.3_dump fails.
std::vector<StoredItem> dumpDatabase(const std::filesystem::path& path);

// Creates the database at `path` (access method `type`: "btree" or "hash")
// holding `items`; an empty list makes an empty database. `header` adds
// lines to the load's header ("db_pagesize=512\n", "duplicates=1\n"). Throws
// std::runtime_error if db5.3_load fails.
void loadDatabase(const std::filesystem::path& path, const std::vector<StoredItem>& items,
                  const std::string& type = "btree", const std::string& header = "");

// The same, written encrypted with a password of its own (the library's
// default algorithm).
void loadEncryptedDatabase(const std::filesystem::path& path, const std::vector<StoredItem>& items);

// Runs db5.3_verify on `path`; true when the file verifies.
bool verifyDatabase(const std::filesystem::path& path);

// 4-byte little-endian key of a record number, as the data database keys it.
std::string recordKey(std::int32_t number);

}  // namespace indicizza::testing
