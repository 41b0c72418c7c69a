#include "indexing/terms.h"

#include "base/linear_probe.h"
#include "indexing/term_rules.h"
#include "version.h"

namespace indicizza {

void TermList::clear() {
  bytes_.clear();
  ends_.clear();
  hashes_.clear();
  slots_.fill(0);
}

void TermList::append(std::string_view term, std::uint32_t hash) {
  bytes_.append(term);
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  hashes_.push_back(hash);
  if (size() > kIndexedTerms) return;
  slots_[probeEmptySlot(slots_, hash)] = static_cast<std::uint16_t>(size());
}

bool TermList::contains(std::string_view term, std::uint32_t hash) const {
  const std::size_t slot = probeSlot(slots_, hash, [&](std::uint16_t s) {
    return hashes_[s - 1u] == hash && (*this)[s - 1u] == term;
  });
  if (slots_[slot] != 0) return true;
  for (std::size_t i = kIndexedTerms; i < size(); ++i) {
    if (hashes_[i] == hash && (*this)[i] == term) return true;
  }
  return false;
}

void extractTerms(const DecodedRecord& record, const StopWordSet& stopWords, TermList& terms) {
  terms.clear();

  // The word source is the seven text fields joined by single blanks. A blank
  // is a separator, so no token spans two fields and each field can be cut on
  // its own with the same result.
  for (int field = 1; field <= static_cast<int>(kTextFieldCount); ++field) {
    forEachHashedWord(textField(record, field), [&](std::string_view word, std::uint32_t hash) {
      if (stopWords.contains(word, hash)) return;
      // Words come first in the list, so the words kept so far are the
      // record's word set.
      if (terms.contains(word, hash)) return;
      terms.append(word, hash);
    });
  }

  for (int field = 1; field <= static_cast<int>(kCodeFieldCount); ++field) {
    const std::string_view code = indexedCodeOf(codeField(record, field));
    if (!code.empty()) terms.append(code);
  }
}

std::uint64_t termRulesDigest(const StopWordSet& stopWords) {
  // FNV-1a over the version and each word, each ended by a zero byte (no
  // word holds one).
  std::uint64_t digest = 0xcbf29ce484222325;
  const auto take = [&](std::string_view bytes) {
    for (const char c : bytes) {
      digest ^= static_cast<unsigned char>(c);
      digest *= 0x100000001b3;
    }
    digest *= 0x100000001b3;
  };
  take(kVersion);
  for (const std::string& word : stopWords.words()) take(word);
  return digest;
}

}  // namespace indicizza
