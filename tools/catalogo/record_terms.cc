#include "catalogo/record_terms.h"

#include <algorithm>
#include <set>

#include "catalogo/record_match.h"

namespace indicizza::catalogo {

std::vector<std::string> termsIndexedFor(ReadOnlyDatabase& index, const DecodedRecord& record) {
  const RecordNumber number = recordNumberOf(record);
  std::vector<std::string> held;
  std::set<std::string, std::less<>> seen;
  for (const std::string& term : viewOf(record, Matching::kExact).indexTerms) {
    if (!seen.insert(term).second) continue;
    const std::vector<RecordNumber> numbers = fetchRecordNumbers(index, term);
    if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) held.push_back(term);
  }
  return held;
}

}  // namespace indicizza::catalogo
