// library-floor DIRECTORY
//
// The Berkeley DB work of one indexer run and nothing else, to measure the
// indexer against: how long the library takes to put the records that
// survive, walk the data database and put the index, without reading
// records into terms. DIRECTORY holds the files of a run before it starts
// (opere.cry, opere.ddb, and opere.idb when the run has one) and, as
// index.ref, the opere.idb the indexer wrote from them.
//
// Prepared first, untimed: the last record of each number in opere.cry, in
// key order, and every term and data of index.ref. Then timed, as the
// indexer does it: bulk puts of those records into opere.ddb in key order
// (2 MiB each), a walk of the whole opere.ddb with bulk gets (4 MiB), the
// close and fsync of opere.ddb; bulk puts of the terms into opere.idb (made
// when missing), its close and fsync. The working copies the indexer makes
// are not part of it. Prints the timed part's wall seconds, then its user
// and system CPU seconds, on one line.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "base/berkeley_db.h"
#include "input/decoded_record.h"
#include "input/record_file.h"
#include "input/scramble_key.h"
#include "records/data_database.h"

namespace {

using namespace indicizza;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBulkPutBytes = std::size_t{2} << 20;
constexpr std::size_t kBulkGetBytes = std::size_t{4} << 20;

[[noreturn]] void fail(const std::string& what) {
  std::cerr << "library-floor: " << what << "\n";
  std::exit(1);
}

void check(const Status& status, const std::string& what) {
  if (!status.ok()) fail(what + ": " + status.text());
}

// The pairs to put, in unsigned byte order of their keys.
using Pairs = std::vector<std::pair<Bytes, Bytes>>;

Pairs survivingRecords(const std::filesystem::path& path) {
  RecordFile file;
  check(tryOpenRecordFile(path, file), "open " + path.string());
  const ScrambleKey key = buildScrambleKey();
  // By the key's bytes read as a big-endian number, which orders as the
  // bytes do; the last record of a number wins.
  std::map<std::uint32_t, Bytes> last;
  std::array<std::uint8_t, kRecordSize> record;
  for (;;) {
    ReadOutcome outcome;
    check(readRecord(file, record, outcome), "read " + path.string());
    if (outcome != ReadOutcome::kWholeRecord) break;
    const RecordKey recordKey = recordKeyOf(scrambledRecordNumberOf(record, key));
    std::uint32_t order = 0;
    for (const std::uint8_t byte : recordKey) order = (order << 8) | byte;
    last[order] = Bytes(record.begin(), record.begin() + kStoredRecordSize);
  }
  Pairs pairs;
  for (auto& [order, data] : last) {
    Bytes keyBytes(kRecordKeySize);
    std::uint32_t bits = order;
    for (std::size_t i = kRecordKeySize; i-- > 0; bits >>= 8)
      keyBytes[i] = static_cast<std::uint8_t>(bits);
    pairs.emplace_back(std::move(keyBytes), std::move(data));
  }
  return pairs;
}

Pairs allPairs(const std::filesystem::path& path) {
  bdb::Database database;
  check(database.open(path.c_str(), bdb::OpenMode::kReadOnly), "open " + path.string());
  Pairs pairs;  // the walk gives them in key order
  bdb::Cursor cursor;
  check(database.openCursor(cursor), "cursor");
  bdb::Item key;
  bdb::Item data;
  for (Status step = cursor.first(key, data); step.ok(); step = cursor.next(key, data)) {
    pairs.emplace_back(Bytes(key.data, key.data + key.size),
                       Bytes(data.data, data.data + data.size));
  }
  return pairs;
}

void putAll(bdb::Database& database, const Pairs& pairs) {
  bdb::BulkPairs bulk(kBulkPutBytes);
  for (const auto& [key, data] : pairs) {
    if (!bulk.add(key, data)) {
      check(database.putBulk(bulk), "put");
      bulk.clear();
      bulk.add(key, data);
    }
  }
  check(database.putBulk(bulk), "put");
}

// Walks every item with bulk gets; gives a sum of bytes so that the data is
// read.
std::uint64_t walkAll(bdb::Database& database) {
  bdb::Cursor cursor;
  check(database.openCursor(cursor), "cursor");
  bdb::BulkItems items(kBulkGetBytes);
  std::uint64_t sum = 0;
  for (Status step = cursor.firstBulk(items); step.ok(); step = cursor.nextBulk(items)) {
    bdb::Item key;
    bdb::Item data;
    while (items.next(key, data)) sum += data.size + data.data[0];
  }
  return sum;
}

void closeAndSync(bdb::Database& database, const std::filesystem::path& path) {
  check(database.close(), "close " + path.string());
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0 || fsync(fd) != 0) fail("fsync " + path.string());
  close(fd);
}

// The process's user and system CPU seconds so far.
struct CpuSeconds {
  double user;
  double system;
};

CpuSeconds cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: library-floor DIRECTORY\n";
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  const Pairs records = survivingRecords(directory / "opere.cry");
  const Pairs terms = allPairs(directory / "index.ref");
  const auto dataPath = directory / "opere.ddb";
  const auto indexPath = directory / "opere.idb";

  const CpuSeconds cpuAtStart = cpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  bdb::Database data;
  check(data.open(dataPath.c_str(), bdb::OpenMode::kExisting), "open " + dataPath.string());
  putAll(data, records);
  const std::uint64_t sum = walkAll(data);
  closeAndSync(data, dataPath);
  bdb::Database index;
  check(index.open(indexPath.c_str(), bdb::OpenMode::kCreate), "open " + indexPath.string());
  putAll(index, terms);
  closeAndSync(index, indexPath);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const CpuSeconds cpuAtEnd = cpuSeconds();

  std::printf("%.2f %.2f %.2f\n", seconds.count(), cpuAtEnd.user - cpuAtStart.user,
              cpuAtEnd.system - cpuAtStart.system);
  std::fprintf(stderr, "library-floor: %zu records put, %zu terms put (%llu)\n", records.size(),
               terms.size(), static_cast<unsigned long long>(sum));
  return 0;
}
