// What a person is told of how a query was read: each note the reading made
// (understanding/reading_note.h), that the results are a correction's, or
// which correction is offered. The one home of these sentences, in
// Italian: the terminal, the page and the API show the same words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/understanding/meant_search.h"
#include "search/understanding/reading_note.h"
#include "search/understanding/suggestions.h"

namespace indicizza {

// The sentence of `note`: "«in» cercato anche come: ...", "Parola ignorata
// perché troppo comune: «in»".
std::string noteText(const ReadingNote& note);

// The sentences of `notes`, in order.
std::vector<std::string> noteTexts(const std::vector<ReadingNote>& notes);

// The line that says the results are a correction's: "Risultati per
// «bach» (nessun risultato per «bahc»)"; and the one that offers a
// correction without running it: "Forse cercavi: «bach»".
std::string correctedResultsLine(const MeantSearch& meant, std::string_view typed);
std::string suggestionLine(const Suggestion& suggestion);

// `lines` with the correction's line before them when the results are a
// correction's, or the correction offered after them: the page's and the
// API's order.
std::vector<std::string> withSuggestion(std::vector<std::string> lines, const MeantSearch& meant,
                                        std::string_view typed);

// Every line a person is told of how `meant` read `typed` (UTF-8), in the
// page's and the API's order: withSuggestion of its notes' sentences.
std::vector<std::string> readingLines(const MeantSearch& meant, std::string_view typed);

}  // namespace indicizza
