#include "search/evaluation/index_terms.h"

#include <algorithm>

#include "catalogue/files/number_sort.h"

namespace indicizza {
namespace {

constexpr int kByteValues = 256;

}  // namespace

Status IndexTerms::open() {
  if (!index_.handle.openCursor(cursor_).ok()) return cursorFailure(index_);
  return {};
}

Status IndexTerms::anyKeyStartsWith(const std::string& raw, bool& starts) {
  bdb::Item found;
  const Status result = cursor_.seekKey(bdb::bytesOf(raw), found);
  starts = result.ok() && found.text().starts_with(raw);
  if (result.ok() || result.code() == Status::Code::kNotFound) return {};
  return readFailure(index_, result);
}

Status IndexTerms::add(std::string_view key, std::vector<std::string>& keys) const {
  if (keys.size() >= maxKeys_) return Status::failure(Status::Code::kOverBudget);
  keys.emplace_back(key);
  return {};
}

Status IndexTerms::collect(const std::string& raw, bool prefix, std::vector<std::string>& keys) {
  bdb::Item found;
  Status result = cursor_.seekKey(bdb::bytesOf(raw), found);
  if (!prefix) {
    if (result.ok()) return found.text() == raw ? add(raw, keys) : Status();
  } else {
    std::string previous;
    for (bool first = true; result.ok(); first = false) {
      const std::string_view key = found.text();
      if (!key.starts_with(raw)) return {};
      // A sound B-tree gives its keys in ascending order; going back means
      // a damaged page that would make the walk go round for ever.
      if (!first && key <= previous) return damageFailure(index_);
      const Status added = add(key, keys);
      if (!added.ok()) return added;
      previous = key;
      result = cursor_.nextKey(found);
    }
  }
  if (result.code() != Status::Code::kNotFound) return readFailure(index_, result);
  return {};
}

Status IndexTerms::walk(std::string& raw, std::size_t done, const std::string& folded, bool prefix,
                        std::vector<std::string>& keys) {
  if (done == folded.size()) return collect(raw, prefix, keys);
  const std::string_view rest = std::string_view(folded).substr(done);
  for (int b = 0; b < kByteValues; ++b) {
    const std::string_view fold = foldOf(static_cast<unsigned char>(b)).text();
    std::size_t next;
    if (rest.starts_with(fold)) {
      next = done + fold.size();
    } else if (prefix && fold.starts_with(rest)) {
      next = folded.size();  // the byte's fold runs past the end of a prefix (ß for "S")
    } else {
      continue;
    }
    raw.push_back(static_cast<char>(b));
    bool starts = false;
    Status walked = anyKeyStartsWith(raw, starts);
    if (walked.ok() && starts) walked = walk(raw, next, folded, prefix, keys);
    if (!walked.ok()) return walked;
    raw.pop_back();
  }
  return {};
}

Status IndexTerms::keysFor(std::string_view term, bool prefix, Matching matching,
                           std::size_t maxKeys, std::vector<std::string>& keys) {
  keys.clear();
  maxKeys_ = maxKeys;
  const std::string wanted = comparableTerm(term, matching);
  if (matching == Matching::kExact) return collect(wanted, prefix, keys);
  std::string raw;
  const Status walked = walk(raw, 0, wanted, prefix, keys);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return walked;
}

Status IndexTerms::recordsUnder(std::string_view key, std::vector<RecordNumber>& numbers) {
  const Status fetched = fetchRecordNumbers(index_, key, numbers);
  sortUnique(numbers);
  return fetched;
}

}  // namespace indicizza
