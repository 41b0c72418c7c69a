#include "catalogo/query_terms.h"

#include <algorithm>

#include "catalogo/tool_failure.h"
#include "common/latin1.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"

namespace indicizza::catalogo {

std::vector<std::string> queryTerms(std::string_view argument) {
  const tools::Latin1Conversion converted = tools::utf8ToLatin1(argument);
  const std::string latin1 = converted.ok() ? converted.latin1 : std::string(argument);

  std::vector<std::string> terms;
  if (holdsDigit(latin1)) {
    terms.push_back(latin1);
  } else {
    forEachToken(latin1, [&](std::string_view token) {
      std::string word(token);
      std::transform(word.begin(), word.end(), word.begin(), asciiUpper);
      terms.push_back(std::move(word));
    });
  }
  if (terms.empty()) throw ToolFailure("Parola senza termini da cercare: '" + std::string(argument) + "'");
  return terms;
}

}  // namespace indicizza::catalogo
