#include "catalogo/web/search_page.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "catalogo/web/page_frame.h"
#include "catalogo/web/site_routes.h"
#include "catalogo/web/web_text.h"
#include "catalogue/forms/layout_fields.h"
#include "catalogue/forms/record_display.h"
#include "input/record_layout.h"
#include "search/presentation/highlight.h"
#include "search/presentation/result_formats.h"
#include "search/presentation/timeline.h"
#include "search/query/query_help.h"
#include "search/query/year_range.h"

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

std::string orderSelectHtml(const SortOrder& order) {
  const std::string chosen = sortOrderName(order);
  std::string html = "<label for=\"ordina\">Ordine</label><select id=\"ordina\" name=\"ordina\">";
  for (const std::string& name : sortOrderNames()) {
    html += "<option value=\"" + name + "\"" + (name == chosen ? " selected" : "") + ">per " +
            name + "</option>";
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

// The arguments of a search's address after its q=: "&amp;da=21&amp;ordina=numero".
std::string pageArguments(const SortOrder& order, std::uint64_t from) {
  return (from > 1 ? "&amp;da=" + std::to_string(from) : "") +
         (order.by != ResultOrder::kRelevance ? "&amp;ordina=" + sortOrderName(order) : "");
}

std::string pageLink(const std::string& query, const SortOrder& order, std::uint64_t from) {
  return searchLink("./", query, order, from);
}

// The text of field `i` of `row` (0 for T1 ... the last for C5) with what
// the query matched marked.
std::string markedField(const ResultRow& row, const RecordHighlights& marks, std::size_t i) {
  return htmlHighlighted(row.fields[i], spansOfField(marks, i), htmlEscaped);
}

// The fields of a result after its title and composer, in the order a
// reader scans them: the forces, the period, the date, the source (T2, T3,
// T5, T6, T7, as indices into ResultRow::fields).
constexpr std::array<std::size_t, 5> kDetailFields = {1, 2, 4, 5, 6};

// `fields` (indices into ResultRow::fields) with a value, marked, joined by
// `joint`.
template <std::size_t N>
std::string joinedFields(const ResultRow& row, const RecordHighlights& marks,
                         const std::array<std::size_t, N>& fields, std::string_view joint) {
  std::string joined;
  for (std::size_t i : fields) {
    if (row.fields[i].empty()) continue;
    if (!joined.empty()) joined += joint;
    joined += markedField(row, marks, i);
  }
  return joined;
}

// A result: its title as the link to its record page, its composer, its
// other text fields, then its codes, number and kind.
std::string resultItem(const DecodedRecord& record, const SearchPageContent& content) {
  const ResultRow row = rowOf(record);
  const RecordHighlights marks = content.ranRoot
                                     ? highlightsOf(*content.ranRoot, record, content.matching)
                                     : RecordHighlights{};
  constexpr std::size_t kTitle = kTitleField - 1;
  constexpr std::size_t kComposer = kComposerField - 1;
  const std::string title = row.fields[kTitle].empty() ? htmlEscaped(untitledHeading(row.number))
                                                       : markedField(row, marks, kTitle);
  std::string item = "<li><a class=\"titolo\" href=\"" +
                     recordLink(row.number, content.query, content.order, content.from) + "\">" +
                     title + "</a>";
  std::string about;
  if (!row.fields[kComposer].empty())
    about = "<span class=\"compositore\">" + markedField(row, marks, kComposer) + "</span>";
  const std::string details = joinedFields(row, marks, kDetailFields, kFieldJoint);
  if (!details.empty()) about += (about.empty() ? "" : std::string(kFieldJoint)) + details;
  if (!about.empty()) item += "<span class=\"dettagli\">" + about + "</span>";
  std::array<std::size_t, kCodeFieldCount> codeFields{};
  for (std::size_t i = 0; i < kCodeFieldCount; ++i) codeFields[i] = kTextFieldCount + i;
  std::string codes = joinedFields(row, marks, codeFields, " ");
  if (!codes.empty()) codes += ' ';
  codes += "<span class=\"numero\">" + std::to_string(row.number) +
           "</span> <span class=\"tipo\">" + htmlEscaped(displayText(row.kindCode)) + "</span>";
  return item + "<span class=\"codici\">" + codes + "</span></li>\n";
}

// One value of a facet: a link that narrows the search to it, when the
// query language can say it.
std::string facetValueHtml(const FacetValue& value, const SearchPageContent& content) {
  std::string text = htmlEscaped(value.text);
  if (!value.narrowing.empty()) {
    text = "<a href=\"" + pageLink(narrowedQuery(content.ranQuery, value), content.order, 1) +
           "\">" + text + "</a>";
  }
  return "<li>" + text + " <span class=\"quanti\">" + std::to_string(value.count) +
         "</span></li>\n";
}

// One row of the kind facet: its label, when it has one, and its codes.
std::string kindRowHtml(const KindRow& row) {
  std::string html = "<li>";
  if (row.label != row.codes.front()) html += htmlEscaped(row.label) + " ";
  for (const std::string& code : row.codes)
    html += "<span class=\"tipo\">" + htmlEscaped(code) + "</span> ";
  return html + "<span class=\"quanti\">" + std::to_string(row.count) + "</span></li>\n";
}

// The timeline's geometry, in the units of its viewBox: a row per bar,
// the years, then the bar, then its count.
constexpr int kTimelineWidth = 200;
constexpr int kTimelineRow = 18;
constexpr int kTimelineBarsAt = 62;
constexpr int kLongestBar = 104;

// One bar of the timeline: its years, its length and its count as text,
// and, when it holds records, a link that narrows the search to its years.
std::string timelineBarHtml(const Timeline& timeline, const TimelineBar& bar, int row,
                            const SearchPageContent& content) {
  const std::uint64_t most = std::max<std::uint64_t>(timeline.mostInABar(), 1);
  const int length =
      bar.count == 0 ? 0 : std::max(1, static_cast<int>(bar.count * kLongestBar / most));
  const int top = row * kTimelineRow;
  const std::string name = htmlEscaped(barText(bar));
  const std::string drawn =
      "<title>" + name + "</title><text x=\"0\" y=\"" + std::to_string(top + 13) + "\">" +
      barYearsText(bar) + "</text><rect x=\"" + std::to_string(kTimelineBarsAt) + "\" y=\"" +
      std::to_string(top + 3) + "\" width=\"" + std::to_string(length) +
      "\" height=\"12\"></rect><text x=\"" + std::to_string(kTimelineBarsAt + length + 3) +
      "\" y=\"" + std::to_string(top + 13) + "\">" + std::to_string(bar.count) + "</text>";
  if (bar.count == 0) return "<g class=\"anno vuoto\">" + drawn + "</g>\n";
  const std::string narrowed = queryWithYearRange(content.ranQuery, timeline.field, bar.years);
  return "<a class=\"anno\" href=\"" + pageLink(narrowed, content.order, 1) + "\">" + drawn +
         "</a>\n";
}

// The timeline: a bar per century or decade, drawn in SVG with its years
// and count as text; then how many records have no year.
std::string timelineHtml(const Timeline& timeline, const FieldLabels& labels,
                         const SearchPageContent& content) {
  if (timeline.bars.empty() && timeline.withoutYear == 0) return "";
  const std::string title = htmlEscaped(timelineTitle(timeline, labels));
  std::string html = "<h3>" + title + "</h3>\n";
  if (!timeline.bars.empty()) {
    const int height = static_cast<int>(timeline.bars.size()) * kTimelineRow;
    html += "<svg class=\"anni\" viewBox=\"0 0 " + std::to_string(kTimelineWidth) + " " +
            std::to_string(height) + "\" role=\"group\" aria-label=\"" + title + "\">\n";
    for (std::size_t i = 0; i < timeline.bars.size(); ++i)
      html += timelineBarHtml(timeline, timeline.bars[i], static_cast<int>(i), content);
    html += "</svg>\n";
  }
  if (timeline.withoutYear != 0)
    html += "<p class=\"altri\">" + htmlEscaped(withoutYearText(timeline)) + "</p>\n";
  return html;
}

// The side column: what the counts cover, the timeline, then each facet's
// values.
std::string facetsHtml(const SearchPageContent& content) {
  static const FieldLabels noLabels;
  const FieldLabels& labels = content.labels ? *content.labels : noLabels;
  const FacetCounts& counts = *content.facets;
  std::string html = "<aside class=\"faccette\" aria-label=\"Restringi la ricerca\">\n<h2>" +
                     htmlEscaped(facetSummary(counts)) + "</h2>\n";
  if (counts.timeline) html += timelineHtml(*counts.timeline, labels, content);
  for (FacetField field : kFacetFields) {
    const Facet& facet = counts.facet(field);
    if (facet.values.empty()) continue;
    html += "<h3>" + htmlEscaped(facetTitle(field, labels)) + "</h3>\n<ul>\n";
    std::uint64_t others = facet.otherValues;
    if (field == FacetField::kKindCode) {
      const KindFacetRows kinds = kindRows(counts.kindCodes, labels);
      for (const KindRow& row : kinds.rows) html += kindRowHtml(row);
      others = kinds.otherRows;
    } else {
      for (const FacetValue& value : facet.values) html += facetValueHtml(value, content);
    }
    html += "</ul>\n";
    if (others != 0)
      html += "<p class=\"altri\">e altri " + std::to_string(others) + " valori</p>\n";
  }
  return html + "</aside>\n";
}

// What to try when nothing at all is found.
std::string tipsHtml() {
  std::string html = "<div class=\"consigli\">\n<p>Qualche idea:</p>\n<ul>\n";
  for (const std::string& tip : nothingFoundTips()) html += "<li>" + htmlEscaped(tip) + "</li>\n";
  return html + "</ul>\n</div>\n";
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

// The links that take every result of the search away, as a file.
std::string downloadsHtml(const std::string& query, const SortOrder& order) {
  const std::string arguments = "?q=" + formEncoded(query) + pageArguments(order, 1);
  return "<p class=\"scarica\">Scarica tutti i risultati: <a href=\"" +
         std::string(kCsvDownloadPath.substr(1)) + arguments + "\" download>CSV</a> · <a href=\"" +
         std::string(kTsvDownloadPath.substr(1)) + arguments + "\" download>TSV</a></p>\n";
}

// The results of a search that ran: count lines, results, pages, tips.
std::string resultsHtml(const SearchPageContent& content) {
  const SearchResult& result = *content.result;
  std::string body = "<p id=\"conteggio\" class=\"conteggio\">" +
                     htmlEscaped(countLine(result, content.from)) + "</p>\n";
  const std::size_t full = result.page.size() - result.pagePartials;
  if (full != 0) {
    body += "<ol class=\"risultati\" start=\"" + std::to_string(content.from) + "\">\n";
    for (std::size_t i = 0; i < full; ++i) body += resultItem(result.page[i], content);
    body += "</ol>\n";
  }
  if (result.pagePartials != 0) {
    body += "<p id=\"parziali\" class=\"conteggio\">" + htmlEscaped(partialLine(result)) +
            "</p>\n<ol class=\"risultati parziali\">\n";
    for (std::size_t i = full; i < result.page.size(); ++i)
      body += resultItem(result.page[i], content);
    body += "</ol>\n";
  }
  if (result.total != 0) body += downloadsHtml(content.query, content.order);
  if (result.total == 0 && result.partialTotal == 0) body += tipsHtml();
  return body + pagerHtml(content.query, content.order, result, content.from);
}

}  // namespace

std::string searchLink(std::string_view toRoot, const std::string& query, const SortOrder& order,
                       std::uint64_t from) {
  return std::string(toRoot) + "?q=" + formEncoded(query) + pageArguments(order, from);
}

std::string recordLink(RecordNumber number, const std::string& query, const SortOrder& order,
                       std::uint64_t from) {
  return "record/" + std::to_string(number) + "?q=" + formEncoded(query) +
         pageArguments(order, from);
}

std::string searchPage(const SearchPageContent& content) {
  std::string body = formHtml(content.query, content.order);
  static const std::string syntaxHelp = syntaxHelpHtml();
  body += syntaxHelp;
  for (const std::string& note : content.notes)
    body += "<p class=\"nota\">" + htmlEscaped(note) + "</p>\n";
  if (!content.error.empty())
    body += "<p class=\"errore\">" + htmlEscaped(content.error) + "</p>\n";
  if (content.result) {
    if (content.facets && content.facets->results != 0) {
      body += "<div class=\"esiti\">\n<section class=\"elenco\">\n" + resultsHtml(content) +
              "</section>\n" + facetsHtml(content) + "</div>\n";
    } else {
      body += resultsHtml(content);
    }
  }
  return pageFrame(content.query.empty() ? "Ricerca" : "Ricerca: " + content.query, "", body);
}

}  // namespace indicizza::catalogo
