#include "search/presentation/reading_notes.h"

#include "catalogue/text/latin1.h"
#include "search/query/term_folding.h"

namespace indicizza {
namespace {

std::string guillemets(std::string_view utf8) { return "«" + std::string(utf8) + "»"; }

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace

std::string noteText(const ReadingNote& note) {
  const std::string typed = guillemets(note.typed);
  switch (note.kind) {
    case ReadingNote::Kind::kParser: return note.typed;
    case ReadingNote::Kind::kStopWordLeftOut:
      return "Parola ignorata perché troppo comune: " + typed;
    case ReadingNote::Kind::kStopWordsOnly:
      return "Parola troppo comune, non indicizzata: " + typed;
    case ReadingNote::Kind::kNumberInText:
      return typed +
             " non è un codice dell'indice: cercato nel testo dei record trovati dalle altre "
             "parole";
    case ReadingNote::Kind::kNumberAlone:
      return typed +
             " non è un codice dell'indice, e un numero nel testo si cerca solo insieme ad altre "
             "parole";
    case ReadingNote::Kind::kCatalogueNumberInText:
      return typed + " non è tra i codici dell'indice: cercato come frase nel testo";
    case ReadingNote::Kind::kCatalogueNumber: {
      std::string text =
          typed + " cercato come numero di catalogo: " + latin1ToUtf8(joined(note.terms));
      if (!note.partLeftOut.empty()) {
        text += " (i codici dell'indice non hanno il numero della parte " +
                guillemets(shownTerm(note.partLeftOut)) + ")";
      }
      return text;
    }
    case ReadingNote::Kind::kReadAs: return typed + ": " + note.meaning;
    case ReadingNote::Kind::kOtherForms: {
      std::vector<std::string> shown;
      for (const std::string& term : note.terms) shown.push_back(shownTerm(term));
      return typed + " cercato anche come: " + joined(shown);
    }
  }
  return note.typed;
}

std::vector<std::string> noteTexts(const std::vector<ReadingNote>& notes) {
  std::vector<std::string> texts;
  for (const ReadingNote& note : notes) texts.push_back(noteText(note));
  return texts;
}

std::string correctedResultsLine(const MeantSearch& meant, std::string_view typed) {
  return "Risultati per «" + meant.ranText + "» (nessun risultato per «" + std::string(typed) +
         "»)";
}

std::string suggestionLine(const Suggestion& suggestion) {
  return "Forse cercavi: «" + suggestion.text + "»";
}

std::vector<std::string> withSuggestion(std::vector<std::string> lines, const MeantSearch& meant,
                                        std::string_view typed) {
  if (meant.ranSuggestion) {
    lines.insert(lines.begin(), correctedResultsLine(meant, typed));
  } else if (meant.suggestion) {
    lines.push_back(suggestionLine(*meant.suggestion));
  }
  return lines;
}

std::vector<std::string> readingLines(const MeantSearch& meant, std::string_view typed) {
  return withSuggestion(noteTexts(meant.notes), meant, typed);
}

}  // namespace indicizza
