#include "search/search.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "catalogue/number_sort.h"
#include "index_store/index_database.h"
#include "indexing/byte_classes.h"
#include "records/data_database.h"
#include "search/index_terms.h"
#include "search/record_match.h"

namespace indicizza {
namespace {

using Numbers = std::vector<RecordNumber>;
// Record lists are shared, not copied: the list of a common word holds
// about one number per record of the catalogue.
using SharedNumbers = std::shared_ptr<const Numbers>;

// One index key a query term stands for, with the records listed under it.
struct KeyRecords {
  std::string key;
  SharedNumbers records;  // ascending
};

SharedNumbers unionOf(const std::vector<SharedNumbers>& lists) {
  if (lists.size() == 1) return lists.front();
  auto all = std::make_shared<Numbers>();
  for (const SharedNumbers& list : lists) all->insert(all->end(), list->begin(), list->end());
  sortUnique(*all);
  return all;
}

SharedNumbers intersectionOf(const SharedNumbers& a, const SharedNumbers& b) {
  auto both = std::make_shared<Numbers>();
  std::set_intersection(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*both));
  return both;
}

// The records the index proposes for a query, and the keys it looked up.
class Proposal {
 public:
  Proposal(IndexTerms& terms, Matching matching, RecordListCache* cache)
      : terms_(terms), matching_(matching), cache_(cache) {}

  // The records that may match `node`, into `records`: every record that
  // matches it is among them when the index is up to date. A NOT is left to
  // the check on the record, so kAll intersects only its other members.
  // Fails when the index can't be read.
  Status candidates(const QueryNode& node, SharedNumbers& records) {
    records = kNone;
    switch (node.kind) {
      case NodeKind::kTerm: {
        std::vector<SharedNumbers> lists;
        const Status looked = lookUp(node.tokens.front(), node.prefix, lists);
        if (looked.ok()) records = unionOf(lists);
        return looked;
      }
      case NodeKind::kPhrase: return phraseCandidates(node, records);
      case NodeKind::kAny: {
        std::vector<SharedNumbers> lists;
        for (const QueryNode& child : node.children) {
          lists.emplace_back();
          const Status found = candidates(child, lists.back());
          if (!found.ok()) return found;
        }
        records = unionOf(lists);
        return {};
      }
      case NodeKind::kAll: {
        SharedNumbers all;
        for (const QueryNode& child : node.children) {
          if (child.kind == NodeKind::kNot) continue;
          SharedNumbers some;
          const Status found = candidates(child, some);
          if (!found.ok()) return found;
          all = all ? intersectionOf(all, some) : std::move(some);
          if (all->empty()) break;
        }
        if (all) records = std::move(all);
        return {};
      }
      case NodeKind::kNot: break;  // never asked: see kAll
    }
    return {};
  }

  const std::vector<KeyRecords>& keys() const { return keys_; }

 private:
  inline static const SharedNumbers kNone = std::make_shared<const Numbers>();

  // The record lists of every key `token` stands for, into `lists`.
  Status lookUp(const std::string& token, bool prefix, std::vector<SharedNumbers>& lists) {
    std::vector<std::string> keys;
    Status found = terms_.keysFor(token, prefix, matching_, keys);
    for (std::size_t i = 0; found.ok() && i < keys.size(); ++i) {
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

  Status recordsUnder(const std::string& key, SharedNumbers& records) {
    records = cache_ ? cache_->find(key) : nullptr;
    if (records) return {};
    auto numbers = std::make_shared<Numbers>();
    const Status fetched = terms_.recordsUnder(key, *numbers);
    records = std::move(numbers);
    if (fetched.ok() && cache_) cache_->keep(key, records);
    return fetched;
  }

  // The records listed under every word of the phrase that the index holds
  // (a word it does not hold may be a stop word; the record check sees it).
  Status phraseCandidates(const QueryNode& node, SharedNumbers& records) {
    SharedNumbers all;
    for (const std::string& token : node.tokens) {
      if (holdsDigit(token)) continue;  // numbers in text are never indexed
      std::vector<SharedNumbers> lists;
      const Status looked = lookUp(token, false, lists);
      if (!looked.ok()) return looked;
      if (lists.empty()) continue;
      SharedNumbers some = unionOf(lists);
      all = all ? intersectionOf(all, some) : std::move(some);
      if (all->empty()) break;
    }
    if (all) records = std::move(all);
    return {};
  }

  IndexTerms& terms_;
  Matching matching_;
  RecordListCache* cache_;        // may be null
  std::vector<KeyRecords> keys_;  // each key once
  std::map<std::string, std::size_t, std::less<>> keyIndex_;
};

// Goes through the looked-up keys' record lists together, in ascending
// record number, to find the keys listing each record checked (a prefix may
// stand for thousands of keys). Must be asked about ascending numbers.
class ListingWalk {
 public:
  explicit ListingWalk(const std::vector<KeyRecords>& keys) : keys_(keys), next_(keys.size(), 0) {
    for (std::size_t k = 0; k < keys_.size(); ++k) push(k);
  }

  // The number of entries listing `number` under a key that `view` does
  // not carry (every entry, without a view: the record is not stored).
  std::uint64_t staleEntriesOf(RecordNumber number, const RecordView* view) {
    std::uint64_t stale = 0;
    while (!heads_.empty() && heads_.front().first <= number) {
      std::pop_heap(heads_.begin(), heads_.end(), std::greater<>());
      const std::size_t k = heads_.back().second;
      const bool listsIt = heads_.back().first == number;
      heads_.pop_back();
      if (listsIt && (!view || !carriesTerm(*view, keys_[k].key))) ++stale;
      ++next_[k];
      push(k);
    }
    return stale;
  }

 private:
  void push(std::size_t k) {
    const Numbers& records = *keys_[k].records;
    if (next_[k] == records.size()) return;
    heads_.emplace_back(records[next_[k]], k);
    std::push_heap(heads_.begin(), heads_.end(), std::greater<>());
  }

  const std::vector<KeyRecords>& keys_;
  std::vector<std::size_t> next_;                            // per key, its next record
  std::vector<std::pair<RecordNumber, std::size_t>> heads_;  // min-heap of (record, key)
};

}  // namespace

Status openSearchDatabases(SearchDatabases& databases) {
  databases.recordLists = nullptr;
  databases.key = buildScrambleKey();
  const Status index = openReadOnly(kIndexDatabaseFileName, databases.index);
  if (!index.ok()) return index;
  return openReadOnly(kDataDatabaseFileName, databases.data);
}

Status runQuery(SearchDatabases& databases, const QueryNode& query, const SearchOptions& options,
                SearchResult& result) {
  result = SearchResult();
  IndexTerms terms(databases.index);
  Status searched = terms.open();
  if (!searched.ok()) return searched;
  Proposal proposal(terms, options.matching, databases.recordLists.get());
  SharedNumbers proposed;
  searched = proposal.candidates(query, proposed);
  if (!searched.ok()) return searched;
  const Numbers& candidates = *proposed;
  ListingWalk listings(proposal.keys());

  const std::uint64_t first = std::max<std::uint64_t>(options.from, 1);
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!options.countOnly && options.limit && result.pageSize >= *options.limit) {
      result.unchecked = candidates.size() - i;
      result.total += result.unchecked;
      break;
    }
    const RecordNumber number = candidates[i];
    std::optional<DecodedRecord> record;
    searched = fetchWholeRecord(databases.data, number, databases.key, record);
    if (!searched.ok()) return searched;
    if (!record) {
      result.staleEntries += listings.staleEntriesOf(number, nullptr);
      continue;
    }
    const RecordView view = viewOf(*record, options.matching);
    result.staleEntries += listings.staleEntriesOf(number, &view);
    if (!matchesRecord(query, view, options.matching)) continue;
    ++result.total;
    if (options.countOnly || result.total < first) continue;
    ++result.pageSize;
    if (options.onPageRecord) {
      options.onPageRecord(*record);
    } else {
      result.page.push_back(std::move(*record));
    }
  }
  return {};
}

}  // namespace indicizza
