// Where each result goes: its place in the order asked (Placed,
// PlacedOrder), and the window of the page that keeps or hands on the
// results at its positions (PageWindow).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "input/decoded_record.h"
#include "search/evaluation/search_options.h"

namespace indicizza {

// One result as ordered: by relevance, by its score alone (partial results
// too, so that the rarest words win whatever their count); by a field, by
// how many query words it matches (partial results), then the field's
// text; then by record number. `work` tells which records are of one work
// (keepWorksTogether).
struct Placed {
  RecordNumber number = 0;
  std::uint32_t words = 0;
  double score = 0;
  std::string text;  // kField: the field's folded text
  std::string work;  // kRelevance: the work's composer and code, or "" for a work of its own
};

class PlacedOrder {
 public:
  explicit PlacedOrder(const SortOrder& order) : order_(order) {}
  bool operator()(const Placed& a, const Placed& b) const {
    if (order_.by == ResultOrder::kRelevance && a.score != b.score) return a.score > b.score;
    if (a.words != b.words) return a.words > b.words;
    if (order_.by == ResultOrder::kField && a.text != b.text) return a.text < b.text;
    return a.number < b.number;
  }

 private:
  SortOrder order_;
};

// `ordered` (by PlacedOrder) with the records of one work (the same
// `work`) together, in record-number order (a work's movements, as the
// catalogue numbers them), where the first of them stood.
void keepWorksTogether(std::vector<Placed>& ordered);

// Where the results of the page go: SearchOptions::onPageRecord or
// SearchResult::page, for the positions from..from+limit-1. Holds references
// to `options` and `result`, which must outlive it.
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

}  // namespace indicizza
