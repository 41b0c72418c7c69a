// What tells one version of a file from the next: the indexer never writes
// opere.ddb or opere.idb in place, it renames a whole new file over the old
// one, so a new version is a new inode. The size and the modification time
// are compared too, for a file copied over in place.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

namespace indicizza {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path` (a symbolic link is followed, so it is
// the file the link points to); nothing when it can't be examined.
std::optional<FileIdentity> identityOf(const std::string& path);

// The identity of the entry `path` itself, a symbolic link not followed (a
// link is then an entry of its own); nothing when there is none.
std::optional<FileIdentity> identityOfEntry(const std::string& path);

// The identity of the file open on descriptor `fd`; nothing when it can't
// be examined.
std::optional<FileIdentity> identityOfOpenFile(int fd);

// The identity `status` (from stat, lstat or fstat) describes.
FileIdentity identityOfStatus(const struct stat& status);

}  // namespace indicizza
