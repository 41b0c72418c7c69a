// The orders a search's results can come in, and their names as the front
// ends take them (cerca --ordina, the page's ordina=): rilevanza, numero,
// T1 ... T7. The one list of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

enum class ResultOrder {
  kRelevance,  // by score (ranking.h), highest first, then record number
  kNumber,     // by record number
  kField,      // by a text field's folded text (term_folding.h), then record number
};

struct SortOrder {
  ResultOrder by = ResultOrder::kRelevance;
  int field = 0;  // kField: the text field, 1-7
};

// Every order's name, in the order a front end offers them: rilevanza,
// numero, T1 ... T7.
const std::vector<std::string>& sortOrderNames();

// The order called `name` (one of sortOrderNames()), or nothing.
std::optional<SortOrder> sortOrderNamed(std::string_view name);

// The name of `order`, as sortOrderNamed takes it.
std::string sortOrderName(const SortOrder& order);

}  // namespace indicizza
