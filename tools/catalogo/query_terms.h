// The index terms a search argument stands for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace indicizza::catalogo {

// The terms of one argument of `catalogo cerca`. The argument is taken as
// UTF-8 and converted to Latin-1 (an argument that is not valid UTF-8, or
// not convertible, is taken as Latin-1 bytes). An argument holding a digit
// is a code and is looked up as given. Any other argument is cut into words
// at the indexer's separator bytes and each word is upper-cased with the
// indexer's rule (ASCII letters only), so "l'amore" gives L and AMORE.
// Throws ToolFailure when the argument yields no term (empty, or separators
// only).
std::vector<std::string> queryTerms(std::string_view argument);

}  // namespace indicizza::catalogo
