#include "search/evaluation/query_run.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/files/read_only_database.h"
#include "catalogue/forms/layout_fields.h"
#include "search/evaluation/first_placed.h"
#include "search/evaluation/kept_records.h"
#include "search/evaluation/partial_candidates.h"
#include "search/evaluation/proposal.h"
#include "search/evaluation/ranking.h"
#include "search/evaluation/record_match.h"
#include "search/evaluation/record_sets.h"
#include "search/evaluation/result_placing.h"
#include "search/evaluation/search_pace.h"
#include "search/evaluation/totals.h"
#include "search/query/term_folding.h"

namespace indicizza {
namespace {

// Which work `record` is: its composer (T1) and its first code (C1),
// which the records of a work's movements share; "" when it has no code,
// a work of its own.
std::string workOf(const DecodedRecord& record) {
  const std::string_view code = withoutPadding(codeField(record, 1));
  if (code.empty()) return "";
  return std::string(withoutPadding(textField(record, 1))) + '\t' + std::string(code);
}

// A record read from opere.ddb, with its view (kept_records.h); null when
// it is not stored whole. Valid until the next record is read.
using ReadRecord = const KeptRecord*;

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
        ranges_(yearRangesOf(query)),
        page_(options, result),
        kept_(databases.kept->reading(options.matching)) {}

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
    decided_ = proposal.allProbed() && countableFromIndex(query_) && narrowedByAll_;
    result_.countedByIndex = decided_;
    catalogueSize_ = std::max<std::uint64_t>(proposal.highestListed(), 1);
    for (const SharedNumbers& listed : wordLists_)
      rarities_.push_back(rarityOf(listed->size(), catalogueSize_));
    ListingWalk listings(proposal.keys(), proposal.allProbed());
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
      // A word the index can't narrow by is only checked on the records
      // the others propose; it lists none itself.
      if (!wordLists_.back()) {
        wordLists_.back() = std::make_shared<Numbers>();
        narrowedByAll_ = false;
        continue;
      }
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
    beforeCheckingRecord();
    read = kept_.find(number);
    if (read) return {};
    std::optional<DecodedRecord> record;
    const Status fetched = fetchWholeRecord(databases_.data, number, databases_.key, record);
    if (!fetched.ok() || !record) return fetched;
    RecordView view = viewOf(*record, options_.matching);
    lastRead_ = std::make_shared<const KeptRecord>(KeptRecord{*record, std::move(view)});
    read = lastRead_.get();
    if (!readTooMany_ && fresh_.size() < kMostKeptReads) {
      fresh_.emplace_back(number, lastRead_);
    } else {
      readTooMany_ = true;
      fresh_ = {};
    }
    return fetched;
  }

 public:
  // Keeps the records this search read from the file for the searches
  // after it, unless they were too many (kept_records.h).
  void keepRead() {
    databases_.kept->keep(kept_, std::move(fresh_));
    fresh_ = {};
  }

 private:
  Placed placedOf(const KeptRecord& read, std::uint32_t words) const {
    Placed placed{recordNumberOf(read.record), words, 0, {}, {}};
    if (options_.order.by == ResultOrder::kRelevance) {
      for (std::size_t w = 0; w < words_.size(); ++w) {
        placed.score +=
            wordScore(weightedOccurrences(*words_[w], read.view, options_.matching), rarities_[w]);
      }
      placed.score += togetherBonus(words_, rarities_, read.view, options_.matching);
      placed.work = workOf(read.record);
    } else if (options_.order.by == ResultOrder::kField) {
      placed.text = foldedText(withoutPadding(textField(read.record, options_.order.field)));
    }
    return placed;
  }

  bool stopAsked(std::size_t i) const {
    return i % kRecordsBetweenStopChecks == 0 && options_.stop && options_.stop();
  }

  // The full results. By relevance, the first maxRankedRecords candidates
  // read and ordered, the rest placed in record-number order as read;
  // reading stops once the page is full and the total is known (or past the
  // count's budget). By a text field, every candidate is read and the page
  // found among all the results (ordering()).
  Status placeFull(ListingWalk& listings) {
    const Numbers& candidates = *full_;
    const bool ranked = options_.order.by != ResultOrder::kNumber && !options_.countOnly;
    const bool wholeOrder = ranked && options_.order.by == ResultOrder::kField;
    const std::uint64_t rankedCount = wholeOrder ? candidates.size()
                                      : ranked   ? options_.limits.maxRankedRecords
                                                 : 0;
    FirstPlaced ranking = ordering(rankedCount);
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
      if (stopAsked(i)) return searchInterrupted();
      ReadRecord read;
      const Status fetched = readRecord(candidates[i], read);
      if (!fetched.ok()) return fetched;
      ++checked;
      result_.staleEntries += listings.staleEntriesOf(candidates[i], read ? &read->view : nullptr);
      // Decided by the index, every candidate stored is a result (totals.h).
      if (!read || (!decided_ && !matchesRecord(query_, read->view, options_.matching))) continue;
      ++matched;
      if (wholeOrder && matched > options_.limits.maxFieldOrdered &&
          pageEnd() > options_.limits.maxFieldOrdered)
        return tooManyToOrder();
      if (i < rankedCount) {
        ranking.offer(placedOf(*read, 0));
      } else if (page_.wants(++placed_)) {
        page_.put(read->record, false);
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

  // The position of the last result the page asks for; past every result
  // when it has no limit.
  std::uint64_t pageEnd() const {
    if (!options_.limit) return UINT64_MAX;
    return std::max<std::uint64_t>(options_.from, 1) - 1 + *options_.limit;
  }

  // Where the ranked candidates are held: by relevance all of them (at most
  // `rankedCount`); by a text field only the first to the page's end, out
  // of all the results.
  FirstPlaced ordering(std::uint64_t rankedCount) const {
    const bool wholeOrder = options_.order.by == ResultOrder::kField;
    return FirstPlaced(options_.order, wholeOrder ? std::min(pageEnd(), rankedCount) : rankedCount);
  }

  // Why a page in the order of a text field can't be given: it ends past
  // the results the search may hold to find it.
  Status tooManyToOrder() const {
    const std::string limit = std::to_string(options_.limits.maxFieldOrdered);
    return Status::described(
        Status::Code::kOverBudget,
        "Ricerca troppo ampia per l'ordine " + sortOrderName(options_.order) + ": ha più di " +
            limit + " risultati, e la pagina chiesta finisce oltre il " + limit +
            "°; chiedere una pagina entro i primi " + limit +
            " (un limite di risultati), ordinare per rilevanza o per numero, oppure restringerla");
  }

  // Places the ranking in its order, reading again the records on the page.
  Status placeRanking(FirstPlaced& ranking) {
    std::vector<Placed> ordered = ranking.takeInOrder();
    if (options_.order.by == ResultOrder::kRelevance) keepWorksTogether(ordered);
    for (const Placed& placed : ordered) {
      if (page_.wants(++placed_)) {
        const Status put = putOnPage(placed.number, false);
        if (!put.ok()) return put;
      }
    }
    return {};
  }

  Status putOnPage(RecordNumber number, bool partial) {
    if (const ReadRecord kept = kept_.find(number)) {
      page_.put(kept->record, partial);
      return {};
    }
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
  // member may match, every year range must) and ordered by how many words they match, then as
  // asked. The other candidates are only counted, never held.
  Status placePartials(const SharedNumbers& excluded) {
    PartialCandidates listed;
    bestPartialCandidates(wordLists_, rarities_, excluded,
                          static_cast<std::size_t>(options_.limits.maxRankedPartials), listed);
    const std::vector<Listed>& best = listed.best;
    const std::size_t readCount = best.size();
    std::vector<Placed> partials;
    for (std::size_t i = 0; i < readCount; ++i) {
      if (stopAsked(i)) return searchInterrupted();
      ReadRecord read;
      const Status fetched = readRecord(best[i].number, read);
      if (!fetched.ok()) return fetched;
      if (!read || matchesExcluded(read->view) || !withinYearRanges(read->view)) continue;
      std::uint32_t words = 0;
      for (const QueryNode* word : words_)
        words += matchesRecord(*word, read->view, options_.matching);
      if (words == 0 || words == words_.size()) continue;
      partials.push_back(placedOf(*read, words));
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
    if (options_.order.by == ResultOrder::kRelevance) keepWorksTogether(partials);
    const std::uint64_t offered =
        std::min<std::uint64_t>(partials.size(), options_.partialsUpTo - result_.total);
    for (std::uint64_t k = 0; k < offered; ++k) {
      if (!page_.wants(++placed_)) continue;
      const Status put = putOnPage(partials[k].number, true);
      if (!put.ok()) return put;
    }
    return {};
  }

  bool withinYearRanges(const RecordView& view) const {
    return std::all_of(ranges_.begin(), ranges_.end(), [&](const QueryNode* range) {
      return matchesRecord(*range, view, options_.matching);
    });
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
  const std::vector<const QueryNode*> ranges_;
  PageWindow page_;
  KeptRecords::Reading kept_;             // the records kept when the search began
  std::vector<SharedNumbers> wordLists_;  // per query word, its candidates
  SharedNumbers full_;                    // candidates of the whole query
  std::vector<double> rarities_;          // per query word
  std::uint64_t catalogueSize_ = 1;
  // The records read from the file so far, while no more than
  // kMostKeptReads; readTooMany_ once there were more.
  std::vector<std::pair<RecordNumber, KeptRecords::Entry>> fresh_;
  KeptRecords::Entry lastRead_;  // the last record read from the file
  bool readTooMany_ = false;
  bool decided_ = false;       // whether the index gives the results and their total
  bool narrowedByAll_ = true;  // whether each word's candidates came from the index
  std::uint64_t placed_ = 0;   // results placed so far, in order
};

}  // namespace

Status runQuery(SearchDatabases& databases, const QueryNode& asked, const SearchOptions& options,
                SearchResult& result) {
  result = SearchResult();
  const QueryNode query = withoutRepeats(asked);
  QueryRun run(databases, query, options, result);
  const Status done = run.run();
  run.keepRead();
  return done;
}

}  // namespace indicizza
