#include "catalogo/web/record_page.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/search_page.h"
#include "catalogo/web/web_text.h"
#include "catalogue/forms/record_display.h"
#include "search/presentation/facets.h"

namespace indicizza::catalogo {
namespace {

// From /record/N back to the root of the site.
constexpr std::string_view kToRoot = "../";

// A field's name as the page shows it: "T1 Compositore" when labelled.
std::string shownName(const std::string& name, const FieldLabels* labels) {
  const std::string label = labels ? fieldLabel(*labels, name) : name;
  if (label == name) return htmlEscaped(name);
  return htmlEscaped(label) + " <span class=\"campo\">" + htmlEscaped(name) + "</span>";
}

// The link to the works of the record's composer (text field 1), when the
// query language can say its value and the index can find it (a word of it
// is no stop word of `stopWords`), as a facet's link; "": a link that
// would find nothing, not even this record, is none.
std::string composerLink(const DecodedRecord& record, const StopWordSet* stopWords) {
  FacetCounter counter(Matching::kFolded, kExactFacetRecords, stopWords);
  counter.add(record);
  const FacetCounts counts = counter.top(1);
  const Facet& composers = counts.facet(FacetField::kComposer);
  if (composers.values.empty() || composers.values.front().narrowing.empty()) return "";
  const FacetValue& composer = composers.values.front();
  return "<a href=\"" + searchLink(kToRoot, composer.narrowing, SortOrder{}) +
         "\">Altre opere di " + htmlEscaped(composer.text) + "</a>\n";
}

std::string linksHtml(const RecordPageContent& content) {
  std::string links = "<nav class=\"ritorno\">\n";
  if (!content.query.empty()) {
    links += "<a href=\"" + searchLink(kToRoot, content.query, content.order, content.from) +
             "\">« Torna ai risultati</a>\n";
  }
  links += composerLink(*content.record, content.stopWords);
  return links + "<a href=\"" + std::string(kToRoot) + "\">Nuova ricerca</a>\n</nav>\n";
}

}  // namespace

std::string recordPage(const RecordPageContent& content) {
  const DecodedRecord& record = *content.record;
  std::string body = linksHtml(content) + "<table class=\"campi\">\n";
  for (const auto& [name, value] : namedFieldValues(record)) {
    body += "<tr><th scope=\"row\">" + shownName(name, content.labels) + "</th><td>" +
            htmlEscaped(value) + "</td></tr>\n";
  }
  body += "</table>\n<h2>Termini nell'indice</h2>\n";
  if (content.indexedTerms.empty()) {
    body += "<p>L'indice non elenca questo record sotto alcun termine.</p>\n";
  } else {
    body +=
        "<p>Le parole e i codici sotto cui opere.idb elenca questo record:</p>\n<ul "
        "class=\"termini\">\n";
    for (const std::string& term : content.indexedTerms)
      body += "<li>" + htmlEscaped(displayText(term)) + "</li>\n";
    body += "</ul>\n";
  }
  return pageFrame("Record " + std::to_string(recordNumberOf(record)), kToRoot, body);
}

}  // namespace indicizza::catalogo
