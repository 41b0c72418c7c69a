// Facets of a set of results: how many of them carry each kind code, each
// composer (text field 1) and each period (text field 3), with the query
// text that narrows a search to one value; and, when asked, their
// timeline (timeline.h). A front end feeds a FacetCounter
// the records a search finds (SearchOptions::onPageRecord hands them over
// one by one), or has countFacetsOf read them by number, then shows
// top(). Nothing here prints.
//
//   FacetCounter counter;
//   options.onPageRecord = [&](const DecodedRecord& r) { counter.add(r); };
//   ... runQuery(...) ...; counter.addUncounted(result.unchecked);
//   FacetCounts counts = counter.top();
//   // a value's narrowing, when not empty: narrowedQuery(query, value)
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/status.h"
#include "catalogue/files/read_only_database.h"
#include "catalogue/forms/field_labels.h"
#include "catalogue/forms/layout_fields.h"
#include "input/decoded_record.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "search/evaluation/query_run.h"
#include "search/presentation/timeline.h"
#include "search/query/term_folding.h"

namespace indicizza {

// What a facet counts records by.
enum class FacetField {
  kKindCode,  // the kind code as the index stores it (kindCodeOf)
  kComposer,  // text field kComposerField (layout_fields.h)
  kPeriod,    // text field kPeriodField
};
inline constexpr std::size_t kFacetFieldCount = 3;
inline constexpr std::array<FacetField, kFacetFieldCount> kFacetFields = {
    FacetField::kKindCode, FacetField::kComposer, FacetField::kPeriod};
inline constexpr int kPeriodField = 3;

// Records counted at most; the results beyond them are only tallied, and
// the counts are then those of the first kExactFacetRecords (not exact).
inline constexpr std::uint64_t kExactFacetRecords = 100'000;
// Values shown per facet unless the caller asks otherwise.
inline constexpr std::size_t kDefaultFacetValues = 10;

// One value of a facet and the counted records that carry it.
struct FacetValue {
  // What records are grouped by. Kind code: its bytes (Latin-1) as the
  // index stores them. Text field: its tokens (the indexer's separators) in
  // comparableTerm form, joined by blanks: two texts the query language
  // can't tell apart ("J.S. Bach", "j. s. bach") are one value.
  std::string key;
  // The value for people, UTF-8: the kind code; or the field's text
  // without blanks around it, the one most of the value's records hold
  // (the least in byte order among equals).
  std::string text;
  std::uint64_t count = 0;
  // The query text (UTF-8) that, ANDed with the search's own query, keeps
  // exactly the counted records of this value, as a field-scoped phrase
  // with exclusions of the longer values that hold it
  // (T1:"j s bach" -T1:"j s bach arr busoni"); "" when the query language
  // can't say it: always for a kind code (see holdsFacetValue), and for a
  // text whose words are all numbers or stop words (the index holds no
  // term to find it by; see FacetCounter), whose tokens hold bytes a query
  // reads as blanks (\n \v \f \r), or that more than 20 longer values
  // hold.
  std::string narrowing;
};

// The values of one facet, most records first, then by text and key in
// unsigned byte order.
struct Facet {
  FacetField field = FacetField::kKindCode;
  std::vector<FacetValue> values;  // the top ones asked for
  std::uint64_t otherValues = 0;   // distinct values beyond them
  std::uint64_t withoutValue = 0;  // counted records whose field gives no token
};

struct FacetCounts {
  std::array<Facet, kFacetFieldCount> facets;  // in kFacetFields order
  // Every kind code counted, in the kind facet's order: its rows are made
  // of them all (kindRows), since codes that share a label are one row.
  std::vector<FacetValue> kindCodes;
  std::uint64_t counted = 0;  // records counted
  std::uint64_t results = 0;  // results offered, counted or not
  // The counted records by year, when the counter was given a year field.
  std::optional<Timeline> timeline;
  // Whether the counts cover every result; when not, they are those of
  // the first `counted` of `results`, and a front end says so.
  bool exact() const { return counted == results; }
  const Facet& facet(FacetField field) const { return facets[static_cast<std::size_t>(field)]; }
};

// Counts facet values over records handed in one at a time. Not copyable.
class FacetCounter {
 public:
  // `matching`: the search's, which groups text values as its phrases
  // compare them. `limit`: records counted at most. `stopWords`: those of
  // noused.txt (loadRegularStopWordFile), when known, so that a value of
  // only stop words gets no narrowing (the index can't find it); kept, not
  // copied.
  explicit FacetCounter(Matching matching = Matching::kFolded,
                        std::uint64_t limit = kExactFacetRecords,
                        const StopWordSet* stopWords = nullptr);
  FacetCounter(const FacetCounter&) = delete;
  FacetCounter& operator=(const FacetCounter&) = delete;

  // One result: counted while fewer than `limit` have been, tallied only
  // after that.
  void add(const DecodedRecord& record);
  // `results` more results that were not handed in (a search's unchecked).
  void addUncounted(std::uint64_t results) { results_ += results; }
  // Whether `limit` records have been counted: add() counts no more.
  bool full() const { return counted_ >= limit_; }
  // Records counted at most.
  std::uint64_t limit() const { return limit_; }
  // Counts the records added from now on by the year of field `name`
  // (etichette.txt's ANNO line) too, for FacetCounts::timeline; a name
  // that is no text or code field counts nothing.
  void countYearsOf(std::string_view name);

  // The `values` most common values of each facet, with their narrowing.
  FacetCounts top(std::size_t values = kDefaultFacetValues) const;

 private:
  // The records of one value, by the text each of them shows.
  struct Group {
    std::uint64_t count = 0;
    std::vector<std::pair<std::string, std::uint64_t>> texts;  // Latin-1
  };
  using Groups = std::unordered_map<std::string, Group>;

  void addText(Groups& groups, std::uint64_t& without, std::string_view field);
  Facet topOf(FacetField field, const Groups& groups, std::uint64_t without,
              std::size_t values) const;
  // The narrowings of values `keys` of text field `field` (FacetValue).
  std::vector<std::string> narrowingsOf(int field, const std::vector<const std::string*>& keys,
                                        const Groups& groups) const;

  Matching matching_;
  std::uint64_t limit_;
  const StopWordSet* stopWords_;
  std::uint64_t counted_ = 0;
  std::uint64_t results_ = 0;
  std::array<Groups, kFacetFieldCount> groups_;
  std::array<std::uint64_t, kFacetFieldCount> without_{};
  const LayoutField* yearField_ = nullptr;
  YearTally years_;
};

// Whether `record` carries facet value `key` (a FacetValue::key of
// `field`), as FacetCounter groups it under `matching`: the filter a front
// end applies where a value has no narrowing (a kind code).
bool holdsFacetValue(const DecodedRecord& record, FacetField field, std::string_view key,
                     Matching matching = Matching::kFolded);

// `query` (UTF-8, as parsed) narrowed to `value`: "(QUERY) NARROWING";
// `query` itself when the value has no narrowing.
std::string narrowedQuery(std::string_view query, const FacetValue& value);

// Hands `counter` the records stored under `numbers` (a search's results),
// read from `data` and descrambled with `key`, until it is full; the
// numbers left over are added uncounted, and a number with no whole record
// stored is passed over. `stop`, when set, is asked every
// kRecordsBetweenStopChecks records: true gives up with kInterrupted. Fails as fetchWholeRecord
// when `data` can't be read.
Status countFacetsOf(ReadOnlyDatabase& data, const ScrambleKey& key,
                     std::span<const RecordNumber> numbers, FacetCounter& counter,
                     const std::function<bool()>& stop = {});

// Hands `counter` the results of `query` as runQuery finds them with
// `options` (its matching, limits and stop; its page, order and callbacks
// are replaced), in record-number order, until the counter is full; the
// results beyond are added uncounted. Fails as runQuery.
Status countResultFacets(SearchDatabases& databases, const QueryNode& query, SearchOptions options,
                         FacetCounter& counter);

// One row of the kind facet as people read it: a label and the kind codes
// (UTF-8) it stands for, with their records. A code whose first letter the
// flags lower-cased ("pF") shares the row of its capital form ("PF", the
// codes in byte order), unless etichette.txt gives it a line of its own,
// which says what the variant means.
struct KindRow {
  std::string label;  // kindLabel: the first code itself when unlabelled
  std::vector<std::string> codes;
  std::uint64_t count = 0;
};

// The rows of the kind facet a front end shows, and how many more there are.
struct KindFacetRows {
  std::vector<KindRow> rows;
  std::uint64_t otherRows = 0;
};

// The first `shown` rows of `kinds` (every kind code counted:
// FacetCounts::kindCodes), most records first, then in the order of
// `kinds`. The codes are joined into rows before the first are chosen, so
// a row's count is that of all its codes.
KindFacetRows kindRows(const std::vector<FacetValue>& kinds, const FieldLabels& labels,
                       std::size_t shown = kDefaultFacetValues);

// What a front end calls a facet, with its field's label when `labels`
// give one: "Per tipo", "Per T1 (Compositore)".
std::string facetTitle(FacetField field, const FieldLabels& labels);

// What the counts cover: "Faccette dei 12 risultati", or, when they are
// not exact, "Faccette dei primi 5000 di circa 98302 risultati".
std::string facetSummary(const FacetCounts& counts);

}  // namespace indicizza
