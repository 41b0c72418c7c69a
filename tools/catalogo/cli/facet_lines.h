// How `catalogo cerca --faccette` writes the facets of its results: a
// heading, then per facet its values, most records first, each with the
// command that narrows the search to it when the query language can say it.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/forms/field_labels.h"
#include "search/presentation/facets.h"

namespace indicizza::catalogo {

// The lines (each ending with a line feed, UTF-8) of `counts`, the facets
// of the results of `query` (UTF-8, as run), with the labels of `labels`.
std::string facetLines(const FacetCounts& counts, std::string_view query,
                       const FieldLabels& labels);

}  // namespace indicizza::catalogo
