#include "catalogo/web/search_page.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "catalogo/web/page_frame.h"
#include "catalogo/web/web_text.h"
#include "catalogue/record_display.h"
#include "input/record_layout.h"
#include "search/query_help.h"
#include "search/result_formats.h"

namespace indicizza::catalogo {
namespace {

constexpr std::string_view kFieldJoint = " · ";
// Page links shown on each side of the current page.
constexpr std::uint64_t kNearbyPages = 3;

// The query language (search/query_help.h), folded away under the form.
std::string syntaxHelpHtml() {
  std::string html =
      "<details class=\"sintassi\">\n<summary>Come si scrive una ricerca</summary>\n<table>\n";
  for (const QueryHelpRow& row : queryHelpRows()) {
    html += "<tr><td>";
    for (std::size_t i = 0; i < row.examples.size(); ++i) {
      if (i != 0) html += ", ";
      html += "<code>" + htmlEscaped(row.examples[i]) + "</code>";
    }
    html += "</td><td>" + htmlEscaped(row.meaning) + "</td></tr>\n";
  }
  html += "</table>\n";
  for (const std::string& note : queryHelpNotes()) html += "<p>" + htmlEscaped(note) + "</p>\n";
  return html + "</details>\n";
}

// The orders offered, by their ordina= name, with what the select shows.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kOrders = {{
    {"rilevanza", "per rilevanza"},
    {"numero", "per numero"},
    {"T1", "per T1"},
    {"T2", "per T2"},
    {"T3", "per T3"},
    {"T4", "per T4"},
    {"T5", "per T5"},
    {"T6", "per T6"},
    {"T7", "per T7"},
}};

std::string orderSelectHtml(const SortOrder& order) {
  const std::string chosen = sortOrderName(order);
  std::string html = "<label for=\"ordina\">Ordine</label><select id=\"ordina\" name=\"ordina\">";
  for (const auto& [name, shown] : kOrders) {
    html += "<option value=\"" + std::string(name) + "\"" +
            (name == chosen ? " selected" : "") + ">" + std::string(shown) + "</option>";
  }
  return html + "</select>";
}

std::string formHtml(const std::string& query, const SortOrder& order) {
  return "<form class=\"ricerca\" action=\"./\" method=\"get\" role=\"search\">\n"
         "<label for=\"q\">Parole, codici o frasi da cercare</label>\n"
         "<div class=\"riga\"><input type=\"search\" id=\"q\" name=\"q\" value=\"" +
         htmlEscaped(query) + "\" autocomplete=\"off\">" + orderSelectHtml(order) +
         "<button type=\"submit\">Cerca</button></div>\n"
         "</form>\n";
}

// A link to the page of results starting at result `from`, in `order`.
std::string pageLink(const std::string& query, const SortOrder& order, std::uint64_t from) {
  const std::string name = sortOrderName(order);
  return "./?q=" + formEncoded(query) + (from > 1 ? "&amp;da=" + std::to_string(from) : "") +
         (order.by != ResultOrder::kRelevance ? "&amp;ordina=" + name : "");
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
std::string pagerHtml(const std::string& query, const SortOrder& order, const SearchResult& result,
                      std::uint64_t from) {
  const std::uint64_t lastResult = std::min(result.total, kLastBrowsableResult);
  if (lastResult <= kResultsPerPage && from == 1) return "";
  const std::uint64_t lastPage = (lastResult + kResultsPerPage - 1) / kResultsPerPage;
  const std::uint64_t page = (from - 1) / kResultsPerPage + 1;
  std::string links = "<nav class=\"pagine\" aria-label=\"Pagine dei risultati\">\n";
  if (from > 1) {
    const std::uint64_t previous = from > kResultsPerPage ? from - kResultsPerPage : 1;
    links += "<a rel=\"prev\" href=\"" + pageLink(query, order, previous) + "\">« precedenti</a>\n";
  }
  const std::uint64_t firstShown = page > kNearbyPages ? page - kNearbyPages : 1;
  const std::uint64_t lastShown = std::min(lastPage, page + kNearbyPages);
  for (std::uint64_t p = firstShown; p <= lastShown; ++p) {
    const std::uint64_t start = (p - 1) * kResultsPerPage + 1;
    if (start == from) {
      links += "<span aria-current=\"page\">" + std::to_string(p) + "</span>\n";
    } else {
      links += "<a href=\"" + pageLink(query, order, start) + "\">" + std::to_string(p) + "</a>\n";
    }
  }
  const std::uint64_t next = from + kResultsPerPage;
  if (result.pageSize - result.pagePartials == kResultsPerPage && next <= lastResult) {
    links += "<a rel=\"next\" href=\"" + pageLink(query, order, next) + "\">successivi »</a>\n";
  }
  return links + "</nav>\n";
}

}  // namespace

std::string searchPage(const SearchPageContent& content) {
  std::string body = formHtml(content.query, content.order);
  static const std::string syntaxHelp = syntaxHelpHtml();
  body += syntaxHelp;
  for (const std::string& note : content.notes)
    body += "<p class=\"nota\">" + htmlEscaped(note) + "</p>\n";
  if (!content.error.empty())
    body += "<p class=\"errore\">" + htmlEscaped(content.error) + "</p>\n";
  if (content.result) {
    const SearchResult& result = *content.result;
    body += "<p id=\"conteggio\" class=\"conteggio\">" +
            htmlEscaped(countLine(result, content.from)) + "</p>\n";
    const std::size_t full = result.page.size() - result.pagePartials;
    if (full != 0) {
      body += "<ol class=\"risultati\" start=\"" + std::to_string(content.from) + "\">\n";
      for (std::size_t i = 0; i < full; ++i) body += resultItem(result.page[i]);
      body += "</ol>\n";
    }
    if (result.pagePartials != 0) {
      body += "<p id=\"parziali\" class=\"conteggio\">" + htmlEscaped(partialLine(result)) +
              "</p>\n<ol class=\"risultati parziali\">\n";
      for (std::size_t i = full; i < result.page.size(); ++i) body += resultItem(result.page[i]);
      body += "</ol>\n";
    }
    body += pagerHtml(content.query, content.order, result, content.from);
  }
  return pageFrame(content.query.empty() ? "Ricerca" : "Ricerca: " + content.query, "", body);
}

}  // namespace indicizza::catalogo
