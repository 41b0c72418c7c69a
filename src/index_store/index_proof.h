// What a run leaves on opere.idb for the next one: that the file is exactly
// the index of the opere.ddb it committed with it (the identities of both
// files, see file_identity.h), and how many records and produced terms that
// was. The next run may then read only the records it adds or replaces into
// terms, and work the rest out from the file; without it, it reads every
// record.
//
// It is kept in an extended attribute of opere.idb, set on the working copy
// before the copy takes its place: a reader of the folder never sees a file
// without its proof, and a run leaves no file of its own in the folder. A
// file copied, restored or written by another program loses the proof or no
// longer matches it; a file system without extended attributes keeps none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/file_identity.h"

namespace indicizza {

struct IndexProof {
  FileIdentity data;            // opere.ddb as committed
  FileIdentity index;           // opere.idb as committed
  std::uint64_t records = 0;    // records in that opere.ddb
  std::uint64_t termsMade = 0;  // terms of the index some record carries
  std::uint64_t termRules = 0;  // termRulesDigest of the run
  bool operator==(const IndexProof&) const = default;
};

// The attribute's name and layout: a version, then each identity as five
// little-endian 64-bit fields (device, inode, size, seconds, nanoseconds),
// then the records, the terms made and the term rules' digest, each a
// little-endian 64-bit field.
inline constexpr const char* kIndexProofAttribute = "user.indicizza.indice";
inline constexpr std::uint64_t kIndexProofVersion = 1;
inline constexpr std::size_t kIndexProofFields = 1 + 5 + 5 + 3;
inline constexpr std::size_t kIndexProofBytes = kIndexProofFields * 8;

// The proof kept on the file at `path` (links followed); nothing when it
// has none, or one this program does not read.
std::optional<IndexProof> readIndexProof(const std::filesystem::path& path);

// Keeps `proof` on the file at `path`, whose `index` identity it must hold
// already (setting the attribute changes neither size nor modification time).
// False when the file system keeps no such attribute, or has no room for it:
// the file is then as good, only unproved.
bool writeIndexProof(const std::filesystem::path& path, const IndexProof& proof);

}  // namespace indicizza
