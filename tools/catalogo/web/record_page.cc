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

// Fields as rows of a table: each under its label.
std::string fieldRows(const std::vector<CardField>& fields) {
  std::string rows;
  for (const CardField& field : fields) {
    rows += "<tr><th scope=\"row\">" + htmlEscaped(field.label) + "</th><td>" +
            htmlEscaped(field.value) + "</td></tr>\n";
  }
  return rows;
}

// The fields with no value, folded away under one control.
std::string emptyFieldsHtml(const std::vector<CardField>& fields) {
  if (fields.empty()) return "";
  return "<details class=\"vuoti\">\n<summary>Campi vuoti (" + std::to_string(fields.size()) +
         ")</summary>\n<table class=\"campi\">\n" + fieldRows(fields) + "</table>\n</details>\n";
}

// The terms the index files the record under, for whoever checks the
// catalogue: folded away.
std::string indexTermsHtml(const std::vector<std::string>& terms) {
  std::string html = "<details class=\"indice\">\n<summary>Termini nell'indice (" +
                     std::to_string(terms.size()) + ")</summary>\n";
  if (terms.empty())
    return html + "<p>L'indice non elenca questo record sotto alcun termine.</p>\n</details>\n";
  html +=
      "<p>Le parole e i codici sotto cui opere.idb elenca questo record:</p>\n<ul "
      "class=\"termini\">\n";
  for (const std::string& term : terms) html += "<li>" + htmlEscaped(displayText(term)) + "</li>\n";
  return html + "</ul>\n</details>\n";
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
  static const FieldLabels noLabels;
  const DecodedRecord& record = *content.record;
  const RecordCard card = recordCard(record, content.labels ? *content.labels : noLabels);
  const std::string number = std::to_string(recordNumberOf(record));
  const std::string heading =
      card.title.empty() ? untitledHeading(recordNumberOf(record)) : card.title;
  std::string body;
  if (!card.composer.empty())
    body += "<p class=\"compositore\">" + htmlEscaped(card.composer) + "</p>\n";
  body += linksHtml(content) + "<table class=\"campi\">\n" + fieldRows(card.fields) + "</table>\n" +
          emptyFieldsHtml(card.emptyFields) + indexTermsHtml(content.indexedTerms);
  const std::string headTitle = card.composer.empty() ? heading : heading + " - " + card.composer;
  const std::string canonical = std::string(kToRoot) + "record/" + number;
  return pageFrame(heading, kToRoot, body, {headTitle, canonical});
}

}  // namespace indicizza::catalogo
