#include "search/evaluation/sort_orders.h"

#include "input/record_layout.h"

namespace indicizza {
namespace {

constexpr std::string_view kRelevanceName = "rilevanza";
constexpr std::string_view kNumberName = "numero";
constexpr char kFieldLetter = 'T';

}  // namespace

const std::vector<std::string>& sortOrderNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all = {std::string(kRelevanceName), std::string(kNumberName)};
    for (std::size_t field = 1; field <= kTextFieldCount; ++field)
      all.push_back(kFieldLetter + std::to_string(field));
    return all;
  }();
  return names;
}

std::optional<SortOrder> sortOrderNamed(std::string_view name) {
  if (name == kRelevanceName) return SortOrder{ResultOrder::kRelevance, 0};
  if (name == kNumberName) return SortOrder{ResultOrder::kNumber, 0};
  if (name.size() == 2 && name[0] == kFieldLetter && name[1] >= '1' &&
      name[1] < static_cast<char>('1' + kTextFieldCount))
    return SortOrder{ResultOrder::kField, name[1] - '0'};
  return std::nullopt;
}

std::string sortOrderName(const SortOrder& order) {
  switch (order.by) {
    case ResultOrder::kRelevance: return std::string(kRelevanceName);
    case ResultOrder::kNumber: return std::string(kNumberName);
    case ResultOrder::kField: return kFieldLetter + std::to_string(order.field);
  }
  return "";
}

}  // namespace indicizza
