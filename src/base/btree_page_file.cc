#include "base/btree_page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/btree_page_image.h"
#include "base/btree_pages.h"
#include "base/regular_file.h"

namespace indicizza {

using namespace btree_layout;

BtreePageFile::~BtreePageFile() {
  writer.reset();
  if (fd >= 0) close(fd);
}

BtreePageFile::BtreePageFile(BtreePageFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)), writer(std::move(other.writer)) {}

Status createPageFile(const std::filesystem::path& path, BtreePageFile& pages) {
  pages.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, bdb::kNewFileMode);
  if (pages.fd < 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  pages.writer = std::make_unique<BtreeWriter>(pages.fd, libraryDefaultPageSize(pages.fd));
  return {};
}

Status rewritePageFile(const std::filesystem::path& path, std::size_t pageSize,
                       BtreePageFile& pages) {
  pages.fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (pages.fd < 0) return Status::systemFailure(Status::Code::kCannotOpen, errno);
  pages.writer = std::make_unique<BtreeWriter>(pages.fd, pageSize);
  return {};
}

Status writePairs(BtreeWriter& writer, const bdb::BulkPairs& block) {
  Status written;
  block.forEachPair([&](std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    written = writer.add(key, data);
    return written.ok();
  });
  return written;
}

Status closePageFile(BtreePageFile& pages) {
  Status closed = pages.writer->finish();
  pages.writer.reset();
  const int fd = std::exchange(pages.fd, -1);
  if (close(fd) != 0 && closed.ok())
    closed = Status::systemFailure(Status::Code::kWriteFailed, errno);
  return closed;
}

Status putPairs(BtreePageFile& pages, bdb::Database& handle, bdb::BulkPairs& pairs) {
  return pages.isOpen() ? writePairs(*pages.writer, pairs) : handle.putBulk(pairs);
}

void startWriteback(BtreePageFile& pages, bdb::Database& handle) {
  if (pages.isOpen()) {
    pages.writer->startWriteback();
  } else {
    handle.startWriteback();
  }
}

Status closeWorkingCopy(BtreePageFile& pages, bdb::Database& handle) {
  return pages.isOpen() ? closePageFile(pages) : handle.close();
}

namespace {

// Whether `meta` is the metadata page the writer writes for a file of
// `pageSize` bytes and `lastPage`, the file id and the counts only a full
// statistics pass sets aside.
bool isWritersMetadata(std::span<const std::uint8_t> meta, std::size_t pageSize,
                       std::uint32_t lastPage) {
  std::vector<std::uint8_t> expected = metadataPage(pageSize, lastPage);
  const auto ignore = [&](std::size_t from, std::size_t to) {
    std::copy(meta.begin() + from, meta.begin() + to, expected.begin() + from);
  };
  ignore(kKeyCountOffset, kTreeFlagsOffset);
  ignore(kFileIdOffset, kFileIdOffset + kFileIdSize);
  return std::equal(meta.begin(), meta.end(), expected.begin(), expected.end());
}

// Whether `leaf` is the header of an empty root leaf.
bool isEmptyRoot(std::span<const std::uint8_t> leaf, std::size_t pageSize) {
  PageImage empty(pageSize);
  empty.reset(kRootPage, kLeafPage, kLeafLevel);
  const auto header = empty.bytes().first(kHeaderSize);
  return std::equal(header.begin(), header.end(), leaf.begin(), leaf.begin() + kHeaderSize);
}

}  // namespace

namespace {

// emptyTreePageSize on the open file `fd`.
std::optional<std::size_t> emptyTreePageSizeOf(int fd) {
  struct stat info {};
  std::uint8_t sizeField[sizeof(std::uint32_t)];
  if (fstat(fd, &info) != 0 ||
      pread(fd, sizeField, sizeof sizeField, kPageSizeOffset) != sizeof sizeField)
    return std::nullopt;
  std::uint32_t pageSize = 0;
  std::memcpy(&pageSize, sizeField, sizeof pageSize);
  if (pageSize < kSmallestPageSize || pageSize > kLargestPageSize ||
      (pageSize & (pageSize - 1)) != 0 || info.st_size != 2 * off_t{pageSize})
    return std::nullopt;
  std::vector<std::uint8_t> pages(2 * std::size_t{pageSize});
  if (pread(fd, pages.data(), pages.size(), 0) != static_cast<ssize_t>(pages.size()))
    return std::nullopt;
  const std::span<const std::uint8_t> both(pages);
  if (!isWritersMetadata(both.first(pageSize), pageSize, kRootPage) ||
      !isEmptyRoot(both.subspan(pageSize), pageSize))
    return std::nullopt;
  return pageSize;
}

}  // namespace

std::optional<std::size_t> emptyTreePageSize(const std::filesystem::path& path) {
  int fd = -1;
  if (!openRegularFile(path.c_str(), O_RDONLY, fd).ok()) return std::nullopt;
  const std::optional<std::size_t> pageSize = emptyTreePageSizeOf(fd);
  close(fd);
  return pageSize;
}

}  // namespace indicizza
