#include "catalogo/web/record_page.h"

#include "catalogo/web/page_frame.h"
#include "catalogo/web/web_text.h"
#include "catalogue/record_display.h"

namespace indicizza::catalogo {
namespace {

// From /record/N back to the root of the site.
constexpr std::string_view kToRoot = "../";

}  // namespace

std::string recordPage(const DecodedRecord& record, const std::vector<std::string>& indexedTerms) {
  std::string body = "<table class=\"campi\">\n";
  for (const auto& [name, value] : namedFieldValues(record)) {
    body += "<tr><th scope=\"row\">" + htmlEscaped(name) + "</th><td>" + htmlEscaped(value) +
            "</td></tr>\n";
  }
  body += "</table>\n<h2>Termini nell'indice</h2>\n";
  if (indexedTerms.empty()) {
    body += "<p>L'indice non elenca questo record sotto alcun termine.</p>\n";
  } else {
    body +=
        "<p>Le parole e i codici sotto cui opere.idb elenca questo record:</p>\n<ul "
        "class=\"termini\">\n";
    for (const std::string& term : indexedTerms)
      body += "<li>" + htmlEscaped(displayText(term)) + "</li>\n";
    body += "</ul>\n";
  }
  body += "<p><a href=\"" + std::string(kToRoot) + "\">Nuova ricerca</a></p>\n";
  return pageFrame("Record " + std::to_string(recordNumberOf(record)), kToRoot, body);
}

}  // namespace indicizza::catalogo
