#include "search/search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <queue>
#include <string>

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

// A union whose numbers span at most this many values is made in a bitmap
// of the span (2 MiB at most), which record numbers of six digits fit.
constexpr std::uint64_t kBitmapUnionSpan = std::uint64_t{1} << 24;
constexpr std::uint64_t kWordBits = 64;

// The union of ascending lists, ascending and each number once, made
// without gathering the lists' numbers in one place first: each is marked
// in a bitmap of the span they cover, or, for a span too wide, merged in
// order through a heap of the lists' heads.
SharedNumbers unionOf(const std::vector<SharedNumbers>& lists) {
  if (lists.size() == 1) return lists.front();
  std::int64_t low = std::numeric_limits<std::int64_t>::max();
  std::int64_t high = std::numeric_limits<std::int64_t>::min();
  for (const SharedNumbers& list : lists) {
    if (list->empty()) continue;
    low = std::min<std::int64_t>(low, list->front());
    high = std::max<std::int64_t>(high, list->back());
  }
  auto all = std::make_shared<Numbers>();
  if (low > high) return all;
  if (static_cast<std::uint64_t>(high - low) < kBitmapUnionSpan) {
    std::vector<std::uint64_t> bits(static_cast<std::size_t>(high - low) / kWordBits + 1, 0);
    for (const SharedNumbers& list : lists) {
      for (const RecordNumber number : *list) {
        const auto at = static_cast<std::uint64_t>(number - low);
        bits[at / kWordBits] |= std::uint64_t{1} << (at % kWordBits);
      }
    }
    for (std::size_t w = 0; w < bits.size(); ++w) {
      for (std::uint64_t word = bits[w]; word != 0; word &= word - 1) {
        all->push_back(static_cast<RecordNumber>(low + static_cast<std::int64_t>(w * kWordBits) +
                                                 std::countr_zero(word)));
      }
    }
    return all;
  }
  using Head = std::pair<RecordNumber, std::size_t>;  // (number, list), lowest on top
  std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
  std::vector<std::size_t> next(lists.size(), 0);
  for (std::size_t l = 0; l < lists.size(); ++l) {
    if (!lists[l]->empty()) heads.emplace(lists[l]->front(), l);
  }
  while (!heads.empty()) {
    const auto [number, l] = heads.top();
    heads.pop();
    if (all->empty() || all->back() != number) all->push_back(number);
    if (++next[l] < lists[l]->size()) heads.emplace((*lists[l])[next[l]], l);
  }
  return all;
}

SharedNumbers intersectionOf(const SharedNumbers& a, const SharedNumbers& b) {
  auto both = std::make_shared<Numbers>();
  std::set_intersection(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*both));
  return both;
}

// How often the record checks ask SearchOptions::stop.
constexpr std::size_t kRecordsBetweenStopChecks = 256;

Status interrupted() { return Status::described(Status::Code::kInterrupted, "Ricerca interrotta"); }

// The records the index proposes for a query, and the keys it looked up.
class Proposal {
 public:
  Proposal(IndexTerms& terms, const SearchOptions& options, RecordListCache* cache)
      : terms_(terms), options_(options), cache_(cache) {}

  // The records that may match `node`, into `records`: every record that
  // matches it is among them when the index is up to date. A NOT is left to
  // the check on the record, so kAll intersects only its other members.
  // Fails when the index can't be read.
  Status candidates(const QueryNode& node, SharedNumbers& records) {
    records = kNone;
    switch (node.kind) {
      case NodeKind::kTerm: {
        std::vector<SharedNumbers> lists;
        const Status looked = lookUp(node, node.tokens.front(), node.prefix, lists);
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

  // The record lists of every key `token` (of `node`) stands for, into
  // `lists`, within the search's limits.
  Status lookUp(const QueryNode& node, const std::string& token, bool prefix,
                std::vector<SharedNumbers>& lists) {
    if (stopAsked()) return interrupted();
    std::vector<std::string> keys;
    const std::size_t maxKeys = options_.limits.maxKeys - std::min(keysSought_, options_.limits.maxKeys);
    Status found = terms_.keysFor(token, prefix, options_.matching, maxKeys, keys);
    keysSought_ += keys.size();
    if (found.code() == Status::Code::kOverBudget) return tooManyKeys(node);
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
    if (!records) {
      auto numbers = std::make_shared<Numbers>();
      const Status fetched = terms_.recordsUnder(key, *numbers);
      records = std::move(numbers);
      if (!fetched.ok()) return fetched;
      if (cache_) cache_->keep(key, records);
    }
    listed_ += records->size();
    if (listed_ > options_.limits.maxListedRecords) return tooManyListed();
    return {};
  }

  bool stopAsked() const { return options_.stop && options_.stop(); }

  Status tooManyKeys(const QueryNode& node) const {
    return Status::described(
        Status::Code::kOverBudget,
        "Ricerca troppo ampia: i suoi termini stanno per più di " +
            std::to_string(options_.limits.maxKeys) + " termini dell'indice (troppi da '" +
            node.source + "'); usare un prefisso più lungo o meno termini");
  }

  Status tooManyListed() const {
    return Status::described(Status::Code::kOverBudget,
                             "Ricerca troppo ampia: le liste dell'indice dei suoi termini superano " +
                                 std::to_string(options_.limits.maxListedRecords) +
                                 " voci; usare termini meno comuni o meno termini");
  }

  // The records listed under every word of the phrase that the index holds
  // (a word it does not hold may be a stop word; the record check sees it).
  Status phraseCandidates(const QueryNode& node, SharedNumbers& records) {
    SharedNumbers all;
    for (const std::string& token : node.tokens) {
      if (holdsDigit(token)) continue;  // numbers in text are never indexed
      std::vector<SharedNumbers> lists;
      const Status looked = lookUp(node, token, false, lists);
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
  const SearchOptions& options_;
  RecordListCache* cache_;        // may be null
  std::size_t keysSought_ = 0;    // keys the lookups gave, repeats included
  std::uint64_t listed_ = 0;      // entries of the lists read
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

Status runQuery(SearchDatabases& databases, const QueryNode& asked, const SearchOptions& options,
                SearchResult& result) {
  result = SearchResult();
  const QueryNode query = withoutRepeats(asked);
  IndexTerms terms(databases.index);
  Status searched = terms.open();
  if (!searched.ok()) return searched;
  Proposal proposal(terms, options, databases.recordLists.get());
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
    if (i % kRecordsBetweenStopChecks == 0 && options.stop && options.stop()) return interrupted();
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
