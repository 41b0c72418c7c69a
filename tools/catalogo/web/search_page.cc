#include "catalogo/web/search_page.h"

#include <algorithm>

#include "catalogo/web/page_frame.h"
#include "catalogue/record_display.h"
#include "search/result_formats.h"
#include "catalogo/web/web_text.h"
#include "input/record_layout.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kFieldJoint = " · ";
// Page links shown on each side of the current page.
constexpr std::uint64_t kNearbyPages = 3;

// The query language in short: what to type, what it finds.
constexpr std::string_view kSyntaxHelp = R"html(<details class="sintassi">
<summary>Come si scrive una ricerca</summary>
<table>
<tr><td><code>bach sonata</code></td><td>record con entrambe le parole (AND sottinteso)</td></tr>
<tr><td><code>bach OR handel</code></td><td>con l'una o l'altra; AND lega più di OR</td></tr>
<tr><td><code>bach -sonata</code>, <code>bach NOT sonata</code></td><td>con bach ma senza sonata</td></tr>
<tr><td><code>"trio sonata"</code></td><td>le parole in quest'ordine, una dopo l'altra</td></tr>
<tr><td><code>sonat*</code></td><td>ogni parola o codice che comincia per sonat</td></tr>
<tr><td><code>T4:sonata</code>, <code>C1:bwv1009</code></td><td>solo nel campo di testo T4 (T1-T7) o di codice C1 (C1-C5)</td></tr>
<tr><td><code>(bach OR handel) sonata</code></td><td>le parentesi raggruppano</td></tr>
<tr><td><code>BWV1009</code></td><td>un termine con una cifra è un codice</td></tr>
</table>
<p>OR, AND e NOT sono operatori solo in maiuscolo. Maiuscole, minuscole e accenti non contano:
<code>perche</code> trova anche «Perché».</p>
</details>
)html";

std::string recordCount(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " record trovato" : " record trovati");
}

std::string formHtml(const std::string& query) {
  return "<form class=\"ricerca\" action=\"./\" method=\"get\" role=\"search\">\n"
         "<label for=\"q\">Parole, codici o frasi da cercare</label>\n"
         "<div class=\"riga\"><input type=\"search\" id=\"q\" name=\"q\" value=\"" +
         htmlEscaped(query) +
         "\" autocomplete=\"off\"><button type=\"submit\">Cerca</button></div>\n"
         "</form>\n";
}

// A link to the page of results starting at result `from`.
std::string pageLink(const std::string& query, std::uint64_t from) {
  return "./?q=" + formEncoded(query) + (from > 1 ? "&amp;da=" + std::to_string(from) : "");
}

std::string resultItem(const DecodedRecord& record) {
  const ResultRow row = rowOf(record);
  std::string texts;
  for (std::size_t i = 0; i < kTextFieldCount; ++i) {
    if (row.fields[i].empty()) continue;
    if (!texts.empty()) texts += kFieldJoint;
    texts += htmlEscaped(displayText(row.fields[i]));
  }
  std::string codes;
  for (std::size_t i = kTextFieldCount; i < row.fields.size(); ++i) {
    if (row.fields[i].empty()) continue;
    if (!codes.empty()) codes += ' ';
    codes += htmlEscaped(displayText(row.fields[i]));
  }
  const std::string number = std::to_string(row.number);
  std::string item = "<li><a href=\"record/" + number + "\"><span class=\"numero\">" + number +
                     "</span> <span class=\"tipo\">" + htmlEscaped(displayText(row.kindCode)) +
                     "</span> <span class=\"campi\">" + texts + "</span></a>";
  if (!codes.empty()) item += "<span class=\"codici\">" + codes + "</span>";
  return item + "</li>\n";
}

// Links to the previous and next pages and to the pages near this one,
// never past the last result known or browsable.
std::string pagerHtml(const std::string& query, const SearchResult& result, std::uint64_t from) {
  const std::uint64_t lastResult = std::min(result.total, kLastBrowsableResult);
  if (lastResult <= kResultsPerPage && from == 1) return "";
  const std::uint64_t lastPage = (lastResult + kResultsPerPage - 1) / kResultsPerPage;
  const std::uint64_t page = (from - 1) / kResultsPerPage + 1;
  std::string links = "<nav class=\"pagine\" aria-label=\"Pagine dei risultati\">\n";
  if (from > 1) {
    const std::uint64_t previous = from > kResultsPerPage ? from - kResultsPerPage : 1;
    links += "<a rel=\"prev\" href=\"" + pageLink(query, previous) + "\">« precedenti</a>\n";
  }
  const std::uint64_t firstShown = page > kNearbyPages ? page - kNearbyPages : 1;
  const std::uint64_t lastShown = std::min(lastPage, page + kNearbyPages);
  for (std::uint64_t p = firstShown; p <= lastShown; ++p) {
    const std::uint64_t start = (p - 1) * kResultsPerPage + 1;
    if (start == from) {
      links += "<span aria-current=\"page\">" + std::to_string(p) + "</span>\n";
    } else {
      links += "<a href=\"" + pageLink(query, start) + "\">" + std::to_string(p) + "</a>\n";
    }
  }
  const std::uint64_t next = from + kResultsPerPage;
  if (result.pageSize == kResultsPerPage && next <= lastResult) {
    links += "<a rel=\"next\" href=\"" + pageLink(query, next) + "\">successivi »</a>\n";
  }
  return links + "</nav>\n";
}

}  // namespace

std::string countText(const SearchResult& result, std::uint64_t from) {
  if (result.total == 0) return "Nessun record trovato";
  std::string line =
      result.exact() ? recordCount(result.total) : "al più " + recordCount(result.total);
  if (from > 1 || result.total > result.pageSize) {
    if (result.pageSize == 0) {
      line += ", nessuno dal " + std::to_string(from) + "°";
    } else {
      const std::uint64_t last = from + result.pageSize - 1;
      line += last == from ? ", mostrato il " + std::to_string(last) + "°"
                           : ", mostrati " + std::to_string(from) + "-" + std::to_string(last);
    }
  }
  return line;
}

std::string searchPage(const SearchPageContent& content) {
  std::string body = formHtml(content.query);
  body += kSyntaxHelp;
  for (const std::string& note : content.notes)
    body += "<p class=\"nota\">" + htmlEscaped(note) + "</p>\n";
  if (!content.error.empty())
    body += "<p class=\"errore\">" + htmlEscaped(content.error) + "</p>\n";
  if (content.result) {
    const SearchResult& result = *content.result;
    body +=
        "<p id=\"conteggio\" class=\"conteggio\">" + htmlEscaped(countText(result, content.from));
    if (!result.exact()) {
      body +=
          " <small>(il numero esatto si sa solo dopo aver letto tutti i record che l'indice "
          "propone)</small>";
    }
    body += "</p>\n";
    if (!result.page.empty()) {
      body += "<ol class=\"risultati\" start=\"" + std::to_string(content.from) + "\">\n";
      for (const DecodedRecord& record : result.page) body += resultItem(record);
      body += "</ol>\n";
    }
    body += pagerHtml(content.query, result, content.from);
  }
  return pageFrame(content.query.empty() ? "Ricerca" : "Ricerca: " + content.query, "", body);
}

}  // namespace indicizza::catalogo
