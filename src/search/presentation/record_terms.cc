#include "search/presentation/record_terms.h"

#include <algorithm>
#include <set>

#include "search/evaluation/record_match.h"

namespace indicizza {

Status termsIndexedFor(ReadOnlyDatabase& index, const DecodedRecord& record,
                       std::vector<std::string>& terms) {
  terms.clear();
  const RecordNumber number = recordNumberOf(record);
  std::set<std::string, std::less<>> seen;
  std::vector<RecordNumber> numbers;
  for (const std::string& term : viewOf(record, Matching::kExact).indexTerms) {
    if (!seen.insert(term).second) continue;
    const Status fetched = fetchRecordNumbers(index, term, numbers);
    if (!fetched.ok()) return fetched;
    if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) terms.push_back(term);
  }
  return {};
}

}  // namespace indicizza
