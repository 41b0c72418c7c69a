#include "search/evaluation/result_placing.h"

#include <map>

namespace indicizza {

void keepWorksTogether(std::vector<Placed>& ordered) {
  // Each work's records, in record-number order, at the place of its first.
  std::map<std::string, std::vector<Placed>, std::less<>> works;
  for (Placed& placed : ordered) {
    if (!placed.work.empty()) works[placed.work].push_back(placed);
  }
  for (auto& [work, records] : works) {
    std::sort(records.begin(), records.end(),
              [](const Placed& a, const Placed& b) { return a.number < b.number; });
  }
  std::vector<Placed> together;
  together.reserve(ordered.size());
  for (Placed& placed : ordered) {
    if (placed.work.empty()) {
      together.push_back(std::move(placed));
      continue;
    }
    const auto found = works.find(placed.work);
    if (found == works.end()) continue;  // placed with the first of its work
    for (Placed& record : found->second) together.push_back(std::move(record));
    works.erase(found);
  }
  ordered = std::move(together);
}

}  // namespace indicizza
