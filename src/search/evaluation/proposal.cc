#include "search/evaluation/proposal.h"

#include <algorithm>

#include "catalogue/files/stop_word_file.h"
#include "indexing/byte_classes.h"
#include "search/evaluation/totals.h"

namespace indicizza {
namespace {

const SharedNumbers kNone = std::make_shared<const Numbers>();

// How many keys a word's lists are read for between two looks at the
// search's stop: a prefix may stand for thousands of keys.
constexpr std::size_t kKeysBetweenStopChecks = 64;

}  // namespace

Status searchInterrupted() {
  return Status::described(Status::Code::kInterrupted, "Ricerca interrotta");
}

// The records that may match `node`, into `records`: every record that
// matches it is among them when the index is up to date. A NOT is left to
// the check on the record, so kAll intersects only its other members.
// Fails when the index can't be read.
Status Proposal::candidates(const QueryNode& node, SharedNumbers& records) {
  records = kNone;
  switch (node.kind) {
    case NodeKind::kTerm: {
      std::vector<SharedNumbers> lists;
      const Status looked = lookUp(node, node.tokens.front(), node.prefix, lists);
      if (looked.ok()) records = unionOfLists(lists);
      return looked;
    }
    case NodeKind::kPhrase: return phraseCandidates(node, records);
    case NodeKind::kAny: {
      std::vector<SharedNumbers> lists;
      for (const QueryNode& child : node.children) {
        // An alternative asked of the text alone (a NOT: see
        // checkedOnRecordText) may hold for any record.
        if (child.kind == NodeKind::kNot) {
          records = nullptr;
          return {};
        }
        lists.emplace_back();
        const Status found = candidates(child, lists.back());
        if (!found.ok()) return found;
        if (!lists.back()) {
          records = nullptr;
          return {};
        }
      }
      records = unionOfLists(lists);
      return {};
    }
    case NodeKind::kAll: {
      SharedNumbers all;
      for (const QueryNode& child : node.children) {
        if (child.kind == NodeKind::kNot) continue;
        SharedNumbers some;
        const Status found = candidates(child, some);
        if (!found.ok()) return found;
        if (!some) continue;  // the index can't narrow by it
        all = all ? intersectionOf(all, some) : std::move(some);
        if (all->empty()) break;
      }
      if (all) records = std::move(all);
      return subtractExcluded(node, records);
    }
    case NodeKind::kNot: break;  // never asked: see kAll
    case NodeKind::kYearRange:   // the index holds no years
      records = nullptr;
      return {};
  }
  return {};
}

SharedNumbers Proposal::unionOfLists(const std::vector<SharedNumbers>& lists) const {
  return cache_ ? cache_->unionOf(lists) : unionOf(lists);
}

// Takes out of `records` (candidates of the AND `all`) the records that
// match its NOT members, when the index decides them: every array read
// so far probed current or stale, and each NOT member countable. Leaves
// them to the record check otherwise. With `keep`, the records taken
// out are kept for excluded().
Status Proposal::subtractExcluded(const QueryNode& all, SharedNumbers& records, bool keep) {
  for (const QueryNode& member : all.children) {
    if (records->empty() && !keep) break;
    if (member.kind != NodeKind::kNot || !allProbed()) continue;
    const QueryNode& excluded = member.children.front();
    if (!countableFromIndex(excluded)) continue;
    SharedNumbers listed;
    const Status found = candidates(excluded, listed);
    if (!found.ok()) return found;
    if (!allProbed()) continue;
    if (keep) excluded_ = excluded_ ? unionOf({excluded_, listed}) : listed;
    records = differenceOf(records, listed);
  }
  return {};
}

// The record lists of every key `token` (of `node`) stands for, into
// `lists`, within the search's limits.
Status Proposal::lookUp(const QueryNode& node, const std::string& token, bool prefix,
                        std::vector<SharedNumbers>& lists) {
  if (stopAsked()) return searchInterrupted();
  std::vector<std::string> keys;
  const std::size_t maxKeys =
      options_.limits.maxKeys - std::min(keysSought_, options_.limits.maxKeys);
  Status found = terms_.keysFor(token, prefix, options_.matching, maxKeys, keys);
  keysSought_ += keys.size();
  if (found.code() == Status::Code::kOverBudget) return tooManyKeys(node);
  for (std::size_t i = 0; found.ok() && i < keys.size(); ++i) {
    if (i % kKeysBetweenStopChecks == kKeysBetweenStopChecks - 1 && stopAsked())
      return searchInterrupted();
    const auto [known, added] = keyIndex_.try_emplace(keys[i], keys_.size());
    if (added) {
      SharedNumbers records;
      found = recordsUnder(known->first, records);
      keys_.push_back({std::move(keys[i]), std::move(records)});
    }
    lists.push_back(keys_[known->second].records);
  }
  return found;
}

Status Proposal::recordsUnder(const std::string& key, SharedNumbers& records) {
  records = cache_ ? cache_->find(key) : nullptr;
  if (!records) {
    auto numbers = std::make_shared<Numbers>();
    const Status fetched = terms_.recordsUnder(key, *numbers);
    records = std::move(numbers);
    if (!fetched.ok()) return fetched;
    if (cache_) cache_->keep(key, records);
  }
  listed_ += records->size();
  if (listed_ > options_.limits.maxListedRecords) return tooManyListed();
  if (!records->empty()) highest_ = std::max(highest_, records->back());
  return probed(key, records);
}

// Whether the array just read is current; a stale one becomes empty.
Status Proposal::probed(const std::string& key, SharedNumbers& records) {
  if (!probe_ || records->empty()) return {};
  if (probes_ >= options_.limits.maxProbedKeys) {
    unprobed_ = true;
    return {};
  }
  ++probes_;
  bool current = false;
  const Status read = probe_(key, *records, current);
  if (!read.ok()) return read;
  if (!current) {
    staleByProbe_ += records->size();
    records = kNone;
  }
  return {};
}

Status Proposal::tooManyKeys(const QueryNode& node) const {
  return Status::described(Status::Code::kOverBudget,
                           "Ricerca troppo ampia: i suoi termini stanno per più di " +
                               std::to_string(options_.limits.maxKeys) +
                               " termini dell'indice (troppi da '" + node.source +
                               "'); usare un prefisso più lungo o meno termini");
}

Status Proposal::tooManyListed() const {
  return Status::described(Status::Code::kOverBudget,
                           "Ricerca troppo ampia: le liste dell'indice dei suoi termini superano " +
                               std::to_string(options_.limits.maxListedRecords) +
                               " voci; usare termini meno comuni o meno termini");
}

// The records listed under the phrase's words, taken from the words whose
// keys list every record holding them: not a word with a digit (numbers
// in text are never indexed), nor one that may be a stop word
// (mayBeStopWord), since the indexer leaves a stop word out while keys
// that compare equal to it (È for E, when folded) list only the records
// holding them. Only when no other word has keys are the stop-like words'
// lists taken, as the best the index can do. A word the index does not
// hold is left to the record check.
Status Proposal::phraseCandidates(const QueryNode& node, SharedNumbers& records) {
  SharedNumbers all;
  Status found = intersectPhraseWords(node, false, all);
  if (found.ok() && !all) found = intersectPhraseWords(node, true, all);
  if (all) {
    records = std::move(all);
    return found;
  }
  // No word has keys. A word the index would hold (no digit, no stop word)
  // is in no record; a phrase of numbers and stop words alone may be in
  // any.
  const bool indexable = std::any_of(node.tokens.begin(), node.tokens.end(), [&](const auto& t) {
    return !holdsDigit(t) && !mayBeStopWord(t);
  });
  records = indexable ? kNone : nullptr;
  return found;
}

// Narrows `all` (null: not yet) to the records listed under each word of
// the phrase that holds no digit and may be a stop word, or, without
// `stopLike`, may not.
Status Proposal::intersectPhraseWords(const QueryNode& node, bool stopLike, SharedNumbers& all) {
  for (const std::string& token : node.tokens) {
    if (holdsDigit(token) || mayBeStopWord(token) != stopLike) continue;
    std::vector<SharedNumbers> lists;
    const Status looked = lookUp(node, token, false, lists);
    if (!looked.ok()) return looked;
    if (lists.empty()) continue;
    SharedNumbers some = unionOfLists(lists);
    all = all ? intersectionOf(all, some) : std::move(some);
    if (all->empty()) break;
  }
  return {};
}

// Whether `token` compares equal (comparableTerm) to a word of noused.txt
// in the current folder, read on the first call; any word may be when
// noused.txt can't be read (a folder of the databases alone).
bool Proposal::mayBeStopWord(const std::string& token) {
  if (!stopWordsRead_) {
    stopWordsRead_ = true;
    StopWordSet read;
    const StopWordSet* stopWords = options_.stopWords;
    if (!stopWords && loadRegularStopWordFile(read).ok()) stopWords = &read;
    stopWordsKnown_ = stopWords != nullptr;
    if (stopWords) {
      for (const std::string& word : stopWords->words())
        stopForms_.insert(comparableTerm(word, options_.matching));
    }
  }
  return !stopWordsKnown_ || stopForms_.contains(comparableTerm(token, options_.matching));
}

ListingWalk::ListingWalk(const std::vector<KeyRecords>& keys, bool termsCurrent)
    : keys_(keys), termsCurrent_(termsCurrent), next_(keys.size(), 0) {
  for (std::size_t k = 0; k < keys_.size(); ++k) push(k);
}

// The number of entries listing `number` under a key that `view` does
// not carry (every entry, without a view: the record is not stored).
std::uint64_t ListingWalk::staleEntriesOf(RecordNumber number, const RecordView* view) {
  std::uint64_t stale = 0;
  while (!heads_.empty() && heads_.front().first <= number) {
    std::pop_heap(heads_.begin(), heads_.end(), std::greater<>());
    const std::size_t k = heads_.back().second;
    const bool listsIt = heads_.back().first == number;
    heads_.pop_back();
    if (listsIt && (!view || (!termsCurrent_ && !carriesTerm(*view, keys_[k].key)))) ++stale;
    ++next_[k];
    push(k);
  }
  return stale;
}

void ListingWalk::push(std::size_t k) {
  const Numbers& records = *keys_[k].records;
  if (next_[k] == records.size()) return;
  heads_.emplace_back(records[next_[k]], k);
  std::push_heap(heads_.begin(), heads_.end(), std::greater<>());
}

}  // namespace indicizza
