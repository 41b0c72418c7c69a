#include "index_store/index_proof.h"

#include <sys/xattr.h>

#include <array>

namespace indicizza {
namespace {

using ProofBytes = std::array<std::uint8_t, kIndexProofBytes>;

void putField(ProofBytes& bytes, std::size_t field, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i)
    bytes[field * 8 + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t fieldOf(const ProofBytes& bytes, std::size_t field) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) value |= std::uint64_t{bytes[field * 8 + i]} << (8 * i);
  return value;
}

void putIdentity(ProofBytes& bytes, std::size_t first, const FileIdentity& identity) {
  putField(bytes, first, identity.device);
  putField(bytes, first + 1, identity.inode);
  putField(bytes, first + 2, static_cast<std::uint64_t>(identity.size));
  putField(bytes, first + 3, static_cast<std::uint64_t>(identity.modifiedSeconds));
  putField(bytes, first + 4, static_cast<std::uint64_t>(identity.modifiedNanoseconds));
}

FileIdentity identityAt(const ProofBytes& bytes, std::size_t first) {
  return {fieldOf(bytes, first), fieldOf(bytes, first + 1),
          static_cast<std::int64_t>(fieldOf(bytes, first + 2)),
          static_cast<std::int64_t>(fieldOf(bytes, first + 3)),
          static_cast<std::int64_t>(fieldOf(bytes, first + 4))};
}

}  // namespace

std::optional<IndexProof> readIndexProof(const std::filesystem::path& path) {
  ProofBytes bytes{};
  const ssize_t got = getxattr(path.c_str(), kIndexProofAttribute, bytes.data(), bytes.size());
  if (got != static_cast<ssize_t>(bytes.size()) || fieldOf(bytes, 0) != kIndexProofVersion)
    return std::nullopt;
  return IndexProof{identityAt(bytes, 1), identityAt(bytes, 6), fieldOf(bytes, 11),
                    fieldOf(bytes, 12), fieldOf(bytes, 13)};
}

bool writeIndexProof(const std::filesystem::path& path, const IndexProof& proof) {
  ProofBytes bytes{};
  putField(bytes, 0, kIndexProofVersion);
  putIdentity(bytes, 1, proof.data);
  putIdentity(bytes, 6, proof.index);
  putField(bytes, 11, proof.records);
  putField(bytes, 12, proof.termsMade);
  putField(bytes, 13, proof.termRules);
  return setxattr(path.c_str(), kIndexProofAttribute, bytes.data(), bytes.size(), 0) == 0;
}

}  // namespace indicizza
