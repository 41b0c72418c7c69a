#include "search/presentation/facets.h"

#include <algorithm>

#include "catalogue/forms/layout_fields.h"
#include "catalogue/forms/record_display.h"
#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"
#include "indexing/term_rules.h"
#include "search/evaluation/search_options.h"
#include "search/query/query_parser.h"

namespace indicizza {
namespace {

// Joins the tokens of a text facet's key.
constexpr char kKeyJoin = ' ';
// Joins the parts of a narrowing.
constexpr std::string_view kExclusionJoin = " -";
// Longer values a narrowing excludes at the most; a value held in more of
// them gets no narrowing (holdsFacetValue still tells its records).
constexpr std::size_t kMostExclusions = 20;

std::size_t slotOf(FacetField field) { return static_cast<std::size_t>(field); }

int textFieldOf(FacetField field) {
  return field == FacetField::kComposer ? kComposerField : kPeriodField;
}

// The kind code's bytes as the index stores them.
std::string kindKeyOf(const DecodedRecord& record) { return kindCodeText(kindCodeOf(record)); }

// The key of a text value: its tokens in comparableTerm form, joined.
std::string textKeyOf(std::string_view field, Matching matching) {
  std::string key;
  forEachToken(field, [&](std::string_view token) {
    if (!key.empty()) key += kKeyJoin;
    key += comparableTerm(token, matching);
  });
  return key;
}

// `text` without blanks before and after.
std::string_view trimmed(std::string_view text) {
  text = withoutPadding(text);
  while (!text.empty() && text.front() == kFieldPadding) text.remove_prefix(1);
  return text;
}

// The phrase "Tn:"TOKENS"" of `latin1`'s tokens, UTF-8, when parseQuery
// reads it back as exactly those tokens in that field; "" otherwise.
std::string phraseOf(int field, std::string_view latin1) {
  std::vector<std::string> tokens;
  std::string words;
  forEachToken(latin1, [&](std::string_view token) {
    tokens.emplace_back(token);
    if (!words.empty()) words += ' ';
    words += token;
  });
  const std::string phrase = "T" + std::to_string(field) + ":\"" + latin1ToUtf8(words) + "\"";
  const QueryParse parse = parseQuery(phrase);
  if (!parse.query || parse.query->root.tokens != tokens) return "";
  if (parse.query->root.scope != FieldScope::kTextField || parse.query->root.field != field) {
    return "";
  }
  return phrase;
}

// Whether the index files a record under some word of `latin1`: a search
// finds a phrase through its words, and numbers and stop words are none.
bool holdsIndexedWord(std::string_view latin1, const StopWordSet* stopWords) {
  bool found = false;
  forEachIndexedWord(latin1, [&](std::string_view word) {
    found = found || !stopWords || !stopWords->contains(word);
  });
  return found;
}

// Whether text value `longer` holds all of `key`'s tokens, in a row.
bool holdsValue(std::string_view longer, std::string_view key) {
  if (longer.size() <= key.size()) return false;
  for (std::size_t at = longer.find(key); at != std::string_view::npos;
       at = longer.find(key, at + 1)) {
    const std::size_t end = at + key.size();
    const bool starts = at == 0 || longer[at - 1] == kKeyJoin;
    const bool ends = end == longer.size() || longer[end] == kKeyJoin;
    if (starts && ends) return true;
  }
  return false;
}

// The text most records of `group` show (the least in byte order among
// equals).
template <typename Group>
const std::string& commonText(const Group& group) {
  const auto* best = &group.texts.front();
  for (const auto& text : group.texts) {
    if (text.second > best->second || (text.second == best->second && text.first < best->first))
      best = &text;
  }
  return best->first;
}

}  // namespace

FacetCounter::FacetCounter(Matching matching, std::uint64_t limit, const StopWordSet* stopWords)
    : matching_(matching), limit_(limit), stopWords_(stopWords) {}

void FacetCounter::add(const DecodedRecord& record) {
  ++results_;
  if (full()) return;
  ++counted_;
  std::string kindKey = kindKeyOf(record);
  Group& kind = groups_[slotOf(FacetField::kKindCode)][kindKey];
  if (kind.texts.empty()) kind.texts.emplace_back(std::move(kindKey), 0);
  ++kind.count;
  ++kind.texts.front().second;
  for (const FacetField field : {FacetField::kComposer, FacetField::kPeriod}) {
    addText(groups_[slotOf(field)], without_[slotOf(field)], textField(record, textFieldOf(field)));
  }
  if (yearField_) tallyYearOf(record, *yearField_, years_);
}

void FacetCounter::countYearsOf(std::string_view name) {
  const LayoutField* field = findLayoutField(name);
  if (field && (field->kind == FieldKind::kText || field->kind == FieldKind::kCode))
    yearField_ = field;
}

void FacetCounter::addText(Groups& groups, std::uint64_t& without, std::string_view field) {
  std::string key = textKeyOf(field, matching_);
  if (key.empty()) {
    ++without;
    return;
  }
  Group& group = groups[std::move(key)];
  ++group.count;
  const std::string_view text = trimmed(field);
  for (auto& shown : group.texts) {
    if (shown.first == text) {
      ++shown.second;
      return;
    }
  }
  group.texts.emplace_back(std::string(text), 1);
}

Facet FacetCounter::topOf(FacetField field, const Groups& groups, std::uint64_t without,
                          std::size_t values) const {
  // Ranked without copying: the Latin-1 texts order as their UTF-8 forms.
  struct Ranked {
    const std::string* key;
    const Group* group;
    const std::string* text;
  };
  std::vector<Ranked> ranked;
  ranked.reserve(groups.size());
  for (const auto& [key, group] : groups) ranked.push_back({&key, &group, &commonText(group)});
  const auto before = [](const Ranked& a, const Ranked& b) {
    if (a.group->count != b.group->count) return a.group->count > b.group->count;
    if (*a.text != *b.text) return *a.text < *b.text;  // char_traits<char>: unsigned
    return *a.key < *b.key;
  };
  const std::size_t shown = std::min(values, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(shown),
                    ranked.end(), before);
  Facet facet;
  facet.field = field;
  facet.withoutValue = without;
  facet.otherValues = groups.size() - shown;
  std::vector<const std::string*> keys;
  for (std::size_t i = 0; i < shown; ++i) keys.push_back(ranked[i].key);
  std::vector<std::string> narrowings(shown);
  if (field != FacetField::kKindCode) narrowings = narrowingsOf(textFieldOf(field), keys, groups);
  for (std::size_t i = 0; i < shown; ++i) {
    const Ranked& value = ranked[i];
    facet.values.push_back(
        {*value.key, displayText(*value.text), value.group->count, std::move(narrowings[i])});
  }
  return facet;
}

std::vector<std::string> FacetCounter::narrowingsOf(int field,
                                                    const std::vector<const std::string*>& keys,
                                                    const Groups& groups) const {
  // The longer values holding each key, in one pass over all values.
  std::vector<std::vector<const Group*>> longer(keys.size());
  for (const auto& [other, group] : groups) {
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (longer[k].size() <= kMostExclusions && holdsValue(other, *keys[k]))
        longer[k].push_back(&group);
    }
  }
  std::vector<std::string> narrowings;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::string& text = commonText(groups.at(*keys[k]));
    std::string narrowing = phraseOf(field, text);
    if (!holdsIndexedWord(text, stopWords_) || longer[k].size() > kMostExclusions)
      narrowing.clear();
    for (const Group* group : longer[k]) {
      if (narrowing.empty()) break;
      const std::string exclusion = phraseOf(field, commonText(*group));
      narrowing = exclusion.empty() ? "" : narrowing + std::string(kExclusionJoin) + exclusion;
    }
    narrowings.push_back(std::move(narrowing));
  }
  return narrowings;
}

FacetCounts FacetCounter::top(std::size_t values) const {
  FacetCounts counts;
  counts.counted = counted_;
  counts.results = results_;
  for (const FacetField field : kFacetFields) {
    counts.facets[slotOf(field)] =
        topOf(field, groups_[slotOf(field)], without_[slotOf(field)], values);
  }
  const Groups& kinds = groups_[slotOf(FacetField::kKindCode)];
  counts.kindCodes = topOf(FacetField::kKindCode, kinds, 0, kinds.size()).values;
  if (yearField_) counts.timeline = timelineOf(years_, yearField_->name);
  return counts;
}

bool holdsFacetValue(const DecodedRecord& record, FacetField field, std::string_view key,
                     Matching matching) {
  if (field == FacetField::kKindCode) return kindKeyOf(record) == key;
  return textKeyOf(textField(record, textFieldOf(field)), matching) == key;
}

std::string narrowedQuery(std::string_view query, const FacetValue& value) {
  if (value.narrowing.empty()) return std::string(query);
  return "(" + std::string(query) + ") " + value.narrowing;
}

Status countFacetsOf(ReadOnlyDatabase& data, const ScrambleKey& key,
                     std::span<const RecordNumber> numbers, FacetCounter& counter,
                     const std::function<bool()>& stop) {
  std::size_t i = 0;
  for (; i < numbers.size() && !counter.full(); ++i) {
    if (i % kRecordsBetweenStopChecks == 0 && stop && stop()) {
      return Status::described(Status::Code::kInterrupted, "Conteggio interrotto");
    }
    std::optional<DecodedRecord> record;
    const Status fetched = fetchWholeRecord(data, numbers[i], key, record);
    if (!fetched.ok()) return fetched;
    if (record) counter.add(*record);
  }
  counter.addUncounted(numbers.size() - i);
  return {};
}

Status countResultFacets(SearchDatabases& databases, const QueryNode& query, SearchOptions options,
                         FacetCounter& counter) {
  options.order = SortOrder{ResultOrder::kNumber};
  options.from = 1;
  options.limit = counter.limit();
  options.countOnly = false;
  options.partialsUpTo = 0;
  options.onPartialsBegin = nullptr;
  options.onPageRecord = [&counter](const DecodedRecord& record) { counter.add(record); };
  SearchResult result;
  const Status searched = runQuery(databases, query, options, result);
  if (searched.ok()) counter.addUncounted(result.total - std::min(result.total, result.pageSize));
  return searched;
}

KindFacetRows kindRows(const std::vector<FacetValue>& kinds, const FieldLabels& labels,
                       std::size_t shown) {
  std::vector<KindRow> rows;
  // The row of each code rows are labelled by (Latin-1).
  std::unordered_map<std::string, std::size_t> rowOfKey;
  for (const FacetValue& value : kinds) {
    std::string key = value.key;
    if (!key.empty() && !labels.kinds.contains(key)) key.front() = asciiUpper(key.front());
    const auto [known, added] = rowOfKey.try_emplace(key, rows.size());
    if (added) {
      rows.push_back({kindLabel(labels, key), {value.text}, value.count});
      continue;
    }
    KindRow& row = rows[known->second];
    row.codes.push_back(value.text);
    std::sort(row.codes.begin(), row.codes.end());
    row.count += value.count;
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const KindRow& a, const KindRow& b) { return a.count > b.count; });
  KindFacetRows facet;
  facet.otherRows = rows.size() - std::min(shown, rows.size());
  rows.resize(rows.size() - facet.otherRows);
  facet.rows = std::move(rows);
  return facet;
}

std::string facetTitle(FacetField field, const FieldLabels& labels) {
  if (field == FacetField::kKindCode) return "Per tipo";
  const std::string name =
      "T" + std::to_string(field == FacetField::kComposer ? kComposerField : kPeriodField);
  const std::string label = fieldLabel(labels, name);
  return "Per " + name + (label == name ? "" : " (" + label + ")");
}

std::string facetSummary(const FacetCounts& counts) {
  if (counts.exact()) return "Faccette dei " + std::to_string(counts.results) + " risultati";
  return "Faccette dei primi " + std::to_string(counts.counted) + " di circa " +
         std::to_string(counts.results) + " risultati";
}

}  // namespace indicizza
