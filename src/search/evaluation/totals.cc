#include "search/evaluation/totals.h"

#include <algorithm>
#include <tuple>

namespace indicizza {

bool indexWrittenAfterData(const std::optional<FileIdentity>& index,
                           const std::optional<FileIdentity>& data) {
  if (!index || !data) return false;
  return std::tie(index->modifiedSeconds, index->modifiedNanoseconds) >
         std::tie(data->modifiedSeconds, data->modifiedNanoseconds);
}

bool countableFromIndex(const QueryNode& node) {
  switch (node.kind) {
    case NodeKind::kTerm: return node.scope == FieldScope::kAnywhere;
    case NodeKind::kPhrase:
    case NodeKind::kYearRange: return false;
    case NodeKind::kAll:
    case NodeKind::kAny:
    case NodeKind::kNot:
      return std::all_of(node.children.begin(), node.children.end(),
                         [](const QueryNode& child) { return countableFromIndex(child); });
  }
  return false;
}

}  // namespace indicizza
