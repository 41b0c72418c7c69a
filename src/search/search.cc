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
#include <set>
#include <string>

#include "catalogue/file_identity.h"
#include "catalogue/layout_fields.h"
#include "catalogue/stop_word_file.h"
#include "index_store/index_database.h"
#include "indexing/byte_classes.h"
#include "records/data_database.h"
#include "search/index_terms.h"
#include "search/ranking.h"
#include "search/record_match.h"
#include "search/totals.h"

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

SharedNumbers differenceOf(const SharedNumbers& a, const SharedNumbers& b) {
  auto rest = std::make_shared<Numbers>();
  std::set_difference(a->begin(), a->end(), b->begin(), b->end(), std::back_inserter(*rest));
  return rest;
}

// Decides whether the array of `key` (the records listed under it, not
// empty) is current, from one of its records (totals.h).
using ArrayProbe =
    std::function<Status(const std::string& key, const Numbers& listed, bool& current)>;

// How often the record checks ask SearchOptions::stop.
constexpr std::size_t kRecordsBetweenStopChecks = 256;

Status interrupted() { return Status::described(Status::Code::kInterrupted, "Ricerca interrotta"); }

// The records the index proposes for a query, and the keys it looked up.
class Proposal {
 public:
  // With `probe`, each key's array is probed (up to the limit), and an
  // array found stale is taken as empty.
  Proposal(IndexTerms& terms, const SearchOptions& options, RecordListCache* cache,
           ArrayProbe probe)
      : terms_(terms), options_(options), cache_(cache), probe_(std::move(probe)) {}

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
        return subtractExcluded(node, records);
      }
      case NodeKind::kNot: break;  // never asked: see kAll
    }
    return {};
  }

  // Takes out of `records` (candidates of the AND `all`) the records that
  // match its NOT members, when the index decides them: every array read
  // so far probed current or stale, and each NOT member countable. Leaves
  // them to the record check otherwise. With `keep`, the records taken
  // out are kept for excluded().
  Status subtractExcluded(const QueryNode& all, SharedNumbers& records, bool keep = false) {
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

  const std::vector<KeyRecords>& keys() const { return keys_; }
  // Whether every array read was probed (none when there is no probe).
  bool allProbed() const { return probe_ && !unprobed_; }
  // Entries of the arrays probed stale.
  std::uint64_t staleByProbe() const { return staleByProbe_; }
  // The highest record number listed under any key read.
  RecordNumber highestListed() const { return highest_; }
  // The records subtractExcluded took out, or null.
  const SharedNumbers& excluded() const { return excluded_; }

 private:
  inline static const SharedNumbers kNone = std::make_shared<const Numbers>();

  // The record lists of every key `token` (of `node`) stands for, into
  // `lists`, within the search's limits.
  Status lookUp(const QueryNode& node, const std::string& token, bool prefix,
                std::vector<SharedNumbers>& lists) {
    if (stopAsked()) return interrupted();
    std::vector<std::string> keys;
    const std::size_t maxKeys =
        options_.limits.maxKeys - std::min(keysSought_, options_.limits.maxKeys);
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
    if (!records->empty()) highest_ = std::max(highest_, records->back());
    return probed(key, records);
  }

  // Whether the array just read is current; a stale one becomes empty.
  Status probed(const std::string& key, SharedNumbers& records) {
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

  bool stopAsked() const { return options_.stop && options_.stop(); }

  Status tooManyKeys(const QueryNode& node) const {
    return Status::described(Status::Code::kOverBudget,
                             "Ricerca troppo ampia: i suoi termini stanno per più di " +
                                 std::to_string(options_.limits.maxKeys) +
                                 " termini dell'indice (troppi da '" + node.source +
                                 "'); usare un prefisso più lungo o meno termini");
  }

  Status tooManyListed() const {
    return Status::described(
        Status::Code::kOverBudget,
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
  Status phraseCandidates(const QueryNode& node, SharedNumbers& records) {
    SharedNumbers all;
    Status found = intersectPhraseWords(node, false, all);
    if (found.ok() && !all) found = intersectPhraseWords(node, true, all);
    if (all) records = std::move(all);
    return found;
  }

  // Narrows `all` (null: not yet) to the records listed under each word of
  // the phrase that holds no digit and may be a stop word, or, without
  // `stopLike`, may not.
  Status intersectPhraseWords(const QueryNode& node, bool stopLike, SharedNumbers& all) {
    for (const std::string& token : node.tokens) {
      if (holdsDigit(token) || mayBeStopWord(token) != stopLike) continue;
      std::vector<SharedNumbers> lists;
      const Status looked = lookUp(node, token, false, lists);
      if (!looked.ok()) return looked;
      if (lists.empty()) continue;
      SharedNumbers some = unionOf(lists);
      all = all ? intersectionOf(all, some) : std::move(some);
      if (all->empty()) break;
    }
    return {};
  }

  // Whether `token` compares equal (comparableTerm) to a word of noused.txt
  // in the current folder, read on the first call; any word may be when
  // noused.txt can't be read (a folder of the databases alone).
  bool mayBeStopWord(const std::string& token) {
    if (!stopWordsRead_) {
      stopWordsRead_ = true;
      StopWordSet stopWords;
      stopWordsKnown_ = loadRegularStopWordFile(stopWords).ok();
      for (const std::string& word : stopWords.words())
        stopForms_.insert(comparableTerm(word, options_.matching));
    }
    return !stopWordsKnown_ || stopForms_.contains(comparableTerm(token, options_.matching));
  }

  IndexTerms& terms_;
  const SearchOptions& options_;
  RecordListCache* cache_;        // may be null
  std::size_t keysSought_ = 0;    // keys the lookups gave, repeats included
  std::uint64_t listed_ = 0;      // entries of the lists read
  std::vector<KeyRecords> keys_;  // each key once
  std::map<std::string, std::size_t, std::less<>> keyIndex_;
  ArrayProbe probe_;  // may be empty
  std::size_t probes_ = 0;
  bool unprobed_ = false;  // some array was read past maxProbedKeys
  std::uint64_t staleByProbe_ = 0;
  RecordNumber highest_ = 0;
  SharedNumbers excluded_;
  bool stopWordsRead_ = false;
  bool stopWordsKnown_ = false;                   // noused.txt was read
  std::set<std::string, std::less<>> stopForms_;  // its words' comparableTerm
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

// A record read from opere.ddb, with its view; nothing when it is not
// stored whole.
struct ReadRecord {
  std::optional<DecodedRecord> record;
  RecordView view;
};

// One result as ordered: by how many query words it matches (partial
// results), then by the order asked, then by record number.
struct Placed {
  RecordNumber number = 0;
  std::uint32_t words = 0;
  double score = 0;
  std::string text;  // kField: the field's folded text
};

class PlacedOrder {
 public:
  explicit PlacedOrder(const SortOrder& order) : order_(order) {}
  bool operator()(const Placed& a, const Placed& b) const {
    if (a.words != b.words) return a.words > b.words;
    if (order_.by == ResultOrder::kRelevance && a.score != b.score) return a.score > b.score;
    if (order_.by == ResultOrder::kField && a.text != b.text) return a.text < b.text;
    return a.number < b.number;
  }

 private:
  SortOrder order_;
};

// Where the results of the page go: SearchOptions::onPageRecord or
// SearchResult::page, for the positions from..from+limit-1.
class PageWindow {
 public:
  PageWindow(const SearchOptions& options, SearchResult& result)
      : options_(options), result_(result), first_(std::max<std::uint64_t>(options.from, 1)) {}

  bool wants(std::uint64_t position) const {
    if (options_.countOnly || position < first_) return false;
    return !options_.limit || position - first_ < *options_.limit;
  }
  // Whether every position after `position` is past the page.
  bool doneAfter(std::uint64_t position) const {
    return options_.countOnly || (options_.limit && position + 1 >= first_ + *options_.limit);
  }
  void put(DecodedRecord record, bool partial) {
    if (partial && result_.pagePartials++ == 0 && options_.onPartialsBegin)
      options_.onPartialsBegin();
    ++result_.pageSize;
    if (options_.onPageRecord) {
      options_.onPageRecord(record);
    } else {
      result_.page.push_back(std::move(record));
    }
  }

 private:
  const SearchOptions& options_;
  SearchResult& result_;
  const std::uint64_t first_;
};

// A record that some query words list, with the index's guess at its rank
// among the partial results: how many words list it, and their rarities
// summed.
struct Listed {
  RecordNumber number;
  std::uint32_t words;
  double rarity;
};

// Whether `a` goes before `b` by the index alone: more words, then rarer
// ones, then the lower number.
bool listedBefore(const Listed& a, const Listed& b) {
  if (a.words != b.words) return a.words > b.words;
  if (a.rarity != b.rarity) return a.rarity > b.rarity;
  return a.number < b.number;
}

// The records listed under some query words but not all: the best of them
// in order (listedBefore), and how many they are.
struct PartialCandidates {
  std::vector<Listed> best;
  std::uint64_t count = 0;
};

// Record numbers whose words are summed at once when the partial
// candidates are walked: 16384 of them take 192 KiB.
constexpr std::int64_t kPartialBlock = std::int64_t{1} << 14;

// Puts into `out` the `keep` best records listed under some of `wordLists`
// (one ascending list per query word, with its rarity in `rarities`) but
// not all, nor in `excluded` (ascending, or null), and counts them all. The
// records the common words list may be most of the catalogue, so none of
// them is kept but the `keep` best so far, in a heap whose top is the worst:
// the lists are walked together a block of record numbers at a time, each
// block's words and rarities summed in arrays of the block.
void bestPartialCandidates(const std::vector<SharedNumbers>& wordLists,
                           const std::vector<double>& rarities, const SharedNumbers& excluded,
                           std::size_t keep, PartialCandidates& out) {
  out = PartialCandidates();
  std::vector<Listed>& best = out.best;
  const auto consider = [&](const Listed& one) {
    if (one.words == wordLists.size() ||
        (excluded && std::binary_search(excluded->begin(), excluded->end(), one.number)))
      return;
    ++out.count;
    if (best.size() < keep) {
      best.push_back(one);
      std::push_heap(best.begin(), best.end(), listedBefore);
    } else if (keep > 0 && listedBefore(one, best.front())) {
      std::pop_heap(best.begin(), best.end(), listedBefore);
      best.back() = one;
      std::push_heap(best.begin(), best.end(), listedBefore);
    }
  };
  std::vector<std::size_t> next(wordLists.size(), 0);  // per word, its first number not walked
  std::vector<std::uint32_t> words(kPartialBlock, 0);
  std::vector<double> rarity(kPartialBlock, 0);
  std::vector<std::uint64_t> listedBits(kPartialBlock / kWordBits, 0);
  for (;;) {
    // The block starts at the lowest number not walked yet.
    std::int64_t low = std::numeric_limits<std::int64_t>::max();
    for (std::size_t w = 0; w < wordLists.size(); ++w) {
      if (next[w] < wordLists[w]->size())
        low = std::min<std::int64_t>(low, (*wordLists[w])[next[w]]);
    }
    if (low == std::numeric_limits<std::int64_t>::max()) break;
    // Word by word, so that each record's rarity is summed in word order.
    for (std::size_t w = 0; w < wordLists.size(); ++w) {
      const Numbers& list = *wordLists[w];
      for (std::size_t& at = next[w]; at < list.size() && list[at] - low < kPartialBlock; ++at) {
        const auto offset = static_cast<std::size_t>(list[at] - low);
        listedBits[offset / kWordBits] |= std::uint64_t{1} << (offset % kWordBits);
        ++words[offset];
        rarity[offset] += rarities[w];
      }
    }
    for (std::size_t b = 0; b < listedBits.size(); ++b) {
      for (std::uint64_t bits = listedBits[b]; bits != 0; bits &= bits - 1) {
        const std::size_t offset = b * kWordBits + static_cast<std::size_t>(std::countr_zero(bits));
        consider({static_cast<RecordNumber>(low + static_cast<std::int64_t>(offset)), words[offset],
                  rarity[offset]});
        words[offset] = 0;
        rarity[offset] = 0;
      }
      listedBits[b] = 0;
    }
  }
  std::sort_heap(best.begin(), best.end(), listedBefore);
}

// Evaluates one query: the index's proposal, then the records read in
// record-number order to check, rank and count them.
class QueryRun {
 public:
  QueryRun(SearchDatabases& databases, const QueryNode& query, const SearchOptions& options,
           SearchResult& result)
      : databases_(databases),
        query_(query),
        options_(options),
        result_(result),
        words_(queryWordsOf(query)),
        excluded_(excludedWordsOf(query)),
        page_(options, result) {}

  Status run() {
    IndexTerms terms(databases_.index);
    Status done = terms.open();
    if (!done.ok()) return done;
    ArrayProbe probe;
    if (databases_.indexCurrent) {
      probe = [this](const std::string& key, const Numbers& listed, bool& current) {
        return probeArray(key, listed, current);
      };
    }
    Proposal proposal(terms, options_, databases_.recordLists.get(), std::move(probe));
    done = propose(proposal);
    if (!done.ok()) return done;
    result_.staleEntries += proposal.staleByProbe();
    decided_ = proposal.allProbed() && countableFromIndex(query_);
    result_.countedByIndex = decided_;
    catalogueSize_ = std::max<std::uint64_t>(proposal.highestListed(), 1);
    for (const SharedNumbers& listed : wordLists_)
      rarities_.push_back(rarityOf(listed->size(), catalogueSize_));
    ListingWalk listings(proposal.keys());
    done = placeFull(listings);
    if (!done.ok()) return done;
    if (wantsPartials()) done = placePartials(proposal.excluded());
    return done;
  }

 private:
  // Each query word's candidates, and the records that may match them all.
  Status propose(Proposal& proposal) {
    for (const QueryNode* word : words_) {
      wordLists_.emplace_back();
      const Status found = proposal.candidates(*word, wordLists_.back());
      if (!found.ok()) return found;
      full_ = full_ ? intersectionOf(full_, wordLists_.back()) : wordLists_.back();
    }
    if (!full_) full_ = std::make_shared<Numbers>();
    if (query_.kind == NodeKind::kAll) return proposal.subtractExcluded(query_, full_, true);
    return {};
  }

  Status probeArray(const std::string& key, const Numbers& listed, bool& current) {
    std::optional<DecodedRecord> record;
    const Status read = fetchWholeRecord(databases_.data, listed.front(), databases_.key, record);
    current = read.ok() && record && carriesTerm(viewOf(*record, options_.matching), key);
    return read;
  }

  Status readRecord(RecordNumber number, ReadRecord& read) {
    const Status fetched = fetchWholeRecord(databases_.data, number, databases_.key, read.record);
    if (fetched.ok() && read.record) read.view = viewOf(*read.record, options_.matching);
    return fetched;
  }

  Placed placedOf(const ReadRecord& read, std::uint32_t words) const {
    Placed placed{recordNumberOf(*read.record), words, 0, {}};
    if (options_.order.by == ResultOrder::kRelevance) {
      for (std::size_t w = 0; w < words_.size(); ++w) {
        placed.score +=
            wordScore(weightedOccurrences(*words_[w], read.view, options_.matching), rarities_[w]);
      }
    } else if (options_.order.by == ResultOrder::kField) {
      placed.text = foldedText(withoutPadding(textField(*read.record, options_.order.field)));
    }
    return placed;
  }

  bool stopAsked(std::size_t i) const {
    return i % kRecordsBetweenStopChecks == 0 && options_.stop && options_.stop();
  }

  // The full results: the first maxRankedRecords candidates read and
  // ordered, the rest placed in record-number order as read; reading stops
  // once the page is full and the total is known (or past the count's
  // budget).
  Status placeFull(ListingWalk& listings) {
    const Numbers& candidates = *full_;
    const bool ranked = options_.order.by != ResultOrder::kNumber && !options_.countOnly;
    const std::uint64_t rankedCount = ranked ? options_.limits.maxRankedRecords : 0;
    std::vector<Placed> ranking;
    bool rankingPlaced = false;
    std::uint64_t matched = 0;
    std::uint64_t checked = 0;
    std::size_t i = 0;
    for (; i < candidates.size(); ++i) {
      if (i == rankedCount && !rankingPlaced) {
        const Status placed = placeRanking(ranking);
        if (!placed.ok()) return placed;
        rankingPlaced = true;
      }
      if (rankingPlaced && page_.doneAfter(placed_) &&
          (decided_ || checked >= options_.maxCountedRecords))
        break;
      if (stopAsked(i)) return interrupted();
      ReadRecord read;
      const Status fetched = readRecord(candidates[i], read);
      if (!fetched.ok()) return fetched;
      ++checked;
      result_.staleEntries +=
          listings.staleEntriesOf(candidates[i], read.record ? &read.view : nullptr);
      if (!read.record || !matchesRecord(query_, read.view, options_.matching)) continue;
      ++matched;
      if (i < rankedCount) {
        ranking.push_back(placedOf(read, 0));
      } else if (page_.wants(++placed_)) {
        page_.put(std::move(*read.record), false);
      }
    }
    if (!rankingPlaced) {
      const Status placed = placeRanking(ranking);
      if (!placed.ok()) return placed;
    }
    if (i == candidates.size()) {
      result_.total = matched;
    } else if (decided_) {
      result_.total = candidates.size();
    } else {
      result_.estimated = true;
      result_.total =
          matched + (candidates.size() - checked) * matched / std::max<std::uint64_t>(checked, 1);
    }
    return {};
  }

  // Orders `ranking` and places it, reading again the records on the page.
  Status placeRanking(std::vector<Placed>& ranking) {
    std::sort(ranking.begin(), ranking.end(), PlacedOrder(options_.order));
    for (const Placed& placed : ranking) {
      if (page_.wants(++placed_)) {
        const Status put = putOnPage(placed.number, false);
        if (!put.ok()) return put;
      }
    }
    return {};
  }

  Status putOnPage(RecordNumber number, bool partial) {
    std::optional<DecodedRecord> record;
    const Status fetched = fetchWholeRecord(databases_.data, number, databases_.key, record);
    if (fetched.ok() && record) page_.put(std::move(*record), partial);
    return fetched;
  }

  bool wantsPartials() const {
    return !options_.countOnly && words_.size() >= 2 && !result_.estimated &&
           result_.total < options_.partialsUpTo && page_.wants(placed_ + 1);
  }

  // Fills the page past the full results with partial ones: the best
  // maxRankedPartials candidates by the index are read, checked (no NOT
  // member may match) and ordered by how many words they match, then as
  // asked. The other candidates are only counted, never held.
  Status placePartials(const SharedNumbers& excluded) {
    PartialCandidates listed;
    bestPartialCandidates(wordLists_, rarities_, excluded,
                          static_cast<std::size_t>(options_.limits.maxRankedPartials), listed);
    const std::vector<Listed>& best = listed.best;
    const std::size_t readCount = best.size();
    std::vector<Placed> partials;
    for (std::size_t i = 0; i < readCount; ++i) {
      if (stopAsked(i)) return interrupted();
      ReadRecord read;
      const Status fetched = readRecord(best[i].number, read);
      if (!fetched.ok()) return fetched;
      if (!read.record || matchesExcluded(read.view)) continue;
      std::uint32_t words = 0;
      for (const QueryNode* word : words_)
        words += matchesRecord(*word, read.view, options_.matching);
      if (words == 0 || words == words_.size()) continue;
      partials.push_back(placedOf(read, words));
    }
    if (readCount == listed.count || !decided_) {
      result_.partialTotal = readCount == listed.count ? partials.size()
                                                       : listed.count * partials.size() /
                                                             std::max<std::uint64_t>(readCount, 1);
      result_.partialEstimated = readCount != listed.count;
    } else {
      result_.partialTotal = listed.count;
    }
    std::sort(partials.begin(), partials.end(), PlacedOrder(options_.order));
    const std::uint64_t offered =
        std::min<std::uint64_t>(partials.size(), options_.partialsUpTo - result_.total);
    for (std::uint64_t k = 0; k < offered; ++k) {
      if (!page_.wants(++placed_)) continue;
      const Status put = putOnPage(partials[k].number, true);
      if (!put.ok()) return put;
    }
    return {};
  }

  bool matchesExcluded(const RecordView& view) const {
    return std::any_of(excluded_.begin(), excluded_.end(), [&](const QueryNode* word) {
      return matchesRecord(*word, view, options_.matching);
    });
  }

  SearchDatabases& databases_;
  const QueryNode& query_;
  const SearchOptions& options_;
  SearchResult& result_;
  const std::vector<const QueryNode*> words_;
  const std::vector<const QueryNode*> excluded_;
  PageWindow page_;
  std::vector<SharedNumbers> wordLists_;  // per query word, its candidates
  SharedNumbers full_;                    // candidates of the whole query
  std::vector<double> rarities_;          // per query word
  std::uint64_t catalogueSize_ = 1;
  bool decided_ = false;      // whether the index gives the total
  std::uint64_t placed_ = 0;  // results placed so far, in order
};

}  // namespace

std::optional<SortOrder> sortOrderNamed(std::string_view name) {
  if (name == "rilevanza") return SortOrder{ResultOrder::kRelevance, 0};
  if (name == "numero") return SortOrder{ResultOrder::kNumber, 0};
  if (name.size() == 2 && name[0] == 'T' && name[1] >= '1' &&
      name[1] < static_cast<char>('1' + kTextFieldCount))
    return SortOrder{ResultOrder::kField, name[1] - '0'};
  return std::nullopt;
}

std::string sortOrderName(const SortOrder& order) {
  switch (order.by) {
    case ResultOrder::kRelevance: return "rilevanza";
    case ResultOrder::kNumber: return "numero";
    case ResultOrder::kField: return "T" + std::to_string(order.field);
  }
  return "";
}

Status openSearchDatabases(SearchDatabases& databases) {
  databases.recordLists = nullptr;
  databases.indexCurrent = false;
  databases.key = buildScrambleKey();
  const Status index = openReadOnly(kIndexDatabaseFileName, databases.index);
  if (!index.ok()) return index;
  const Status data = openReadOnly(kDataDatabaseFileName, databases.data);
  if (!data.ok()) return data;
  databases.indexCurrent =
      indexWrittenAfterData(identityOf(kIndexDatabaseFileName), identityOf(kDataDatabaseFileName));
  return {};
}

Status runQuery(SearchDatabases& databases, const QueryNode& asked, const SearchOptions& options,
                SearchResult& result) {
  result = SearchResult();
  const QueryNode query = withoutRepeats(asked);
  return QueryRun(databases, query, options, result).run();
}

}  // namespace indicizza
