#include "search/query/query.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "indexing/byte_classes.h"

namespace indicizza {

namespace {

// A picture of what `node` asks, which two nodes share exactly when they
// ask the same thing (the text they were written as set aside).
std::string shapeOf(const QueryNode& node) {
  std::string shape = std::to_string(static_cast<int>(node.kind)) + ',' +
                      std::to_string(static_cast<int>(node.scope)) + ',' +
                      std::to_string(node.field) + (node.prefix ? "*" : "") + ',' +
                      std::to_string(node.fromYear) + ',' + std::to_string(node.toYear) + '(';
  for (const std::string& token : node.tokens) shape += std::to_string(token.size()) + ':' + token;
  for (const QueryNode& child : node.children) shape += shapeOf(child);
  return shape + ')';
}

}  // namespace

QueryNode withoutRepeats(QueryNode node) {
  for (QueryNode& child : node.children) child = withoutRepeats(std::move(child));
  if (node.kind != NodeKind::kAll && node.kind != NodeKind::kAny) return node;
  std::set<std::string> seen;
  std::vector<QueryNode> kept;
  for (QueryNode& child : node.children) {
    if (seen.insert(shapeOf(child)).second) kept.push_back(std::move(child));
  }
  if (kept.size() == 1) return std::move(kept.front());
  node.children = std::move(kept);
  return node;
}

}  // namespace indicizza
