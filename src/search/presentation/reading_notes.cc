#include "search/presentation/reading_notes.h"

namespace indicizza {

std::string correctedResultsLine(const MeantSearch& meant, std::string_view typed) {
  return "Risultati per «" + meant.ranText + "» (nessun risultato per «" + std::string(typed) +
         "»)";
}

std::string suggestionLine(const Suggestion& suggestion) {
  return "Forse cercavi: «" + suggestion.text + "»";
}

}  // namespace indicizza
