// query-language-section TEMPLATE OUTPUT
//
// Writes the catalogo(1) man page source OUTPUT: TEMPLATE (scdoc) with its
// line "%QUERY LANGUAGE%" replaced by the query language as the program
// itself teaches it (search/query_help.h), laid out in scdoc: the forms of
// query as a table, then the notes; and each limit it names, %NAME%, by the
// value of the constant that sets it (%NAME,% with its thousands set apart
// by commas). Run at build time, so the man page never says the language or
// a limit in words of its own.
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "catalogo/web/catalogue_pages.h"
#include "catalogo/web/run_turns.h"
#include "catalogo/web/search_server.h"
#include "catalogue/forms/field_labels.h"
#include "search/evaluation/search_options.h"
#include "search/presentation/facets.h"
#include "search/query/query_help.h"
#include "search/understanding/query_vocabulary.h"

namespace {

constexpr std::string_view kPlaceholder = "%QUERY LANGUAGE%";

// The limits the page names, by their placeholders' names.
struct Limit {
  std::string_view name;
  std::uint64_t value;
};
using std::chrono::duration_cast;
using std::chrono::seconds;
const Limit kLimits[] = {
    {"RANKED_RECORDS", indicizza::SearchLimits{}.maxRankedRecords},
    {"STOP_WORD_FILE_MB", indicizza::kMaxStopWordFileBytes >> 20},
    {"SYNONYM_FILE_MB", indicizza::kMaxSynonymFileBytes >> 20},
    {"NICKNAME_FILE_MB", indicizza::kMaxNicknameFileBytes >> 20},
    {"LABEL_FILE_MB", indicizza::kMaxLabelFileBytes >> 20},
    {"FIELD_ORDERED", indicizza::SearchLimits{}.maxFieldOrdered},
    {"COUNTED_RECORDS", indicizza::SearchOptions{}.maxCountedRecords},
    {"QUERY_KEYS", indicizza::SearchLimits{}.maxKeys},
    {"LISTED_ENTRIES", indicizza::SearchLimits{}.maxListedRecords},
    {"EXACT_FACET_RECORDS", indicizza::kExactFacetRecords},
    {"PAGE_FACET_RECORDS", indicizza::catalogo::kPageFacetRecords},
    {"CONNECTIONS", indicizza::catalogo::kMaxConnections},
    {"CONNECTIONS_PER_ADDRESS", indicizza::catalogo::kMaxConnectionsPerAddress},
    {"HEAD_SECONDS",
     static_cast<std::uint64_t>(
         duration_cast<seconds>(indicizza::catalogo::kRequestHeadDeadline).count())},
    {"WAITING_SEARCHES", indicizza::catalogo::kWaitingSearches},
    {"SEARCH_THREADS", indicizza::catalogo::kSearchThreads},
    {"TURN_SLICE_MS", static_cast<std::uint64_t>(indicizza::catalogo::kTurnSlice.count())},
    {"LONG_SEARCH_MS", static_cast<std::uint64_t>(indicizza::catalogo::kTurnSlice.count() *
                                                  indicizza::catalogo::kLongSearchSlices)},
    {"LONG_SEARCH_SECONDS",
     static_cast<std::uint64_t>(
         duration_cast<seconds>(indicizza::catalogo::kLongSearchMemory).count())},
    {"SEARCH_SECONDS", static_cast<std::uint64_t>(
                           duration_cast<seconds>(indicizza::catalogo::kSearchDeadline).count())},
};

// `value` with its thousands set apart by commas: 20,000,000.
std::string withCommas(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// The first placeholder of a limit left in `page` (a name no limit has), or
// "". A name has three letters or more, so that a URL's escapes (%ED%A0)
// are none.
std::string leftPlaceholder(const std::string& page) {
  for (std::size_t at = page.find('%'); at != std::string::npos; at = page.find('%', at + 1)) {
    std::size_t end = at + 1;
    while (end < page.size() && ((page[end] >= 'A' && page[end] <= 'Z') || page[end] == '_')) ++end;
    if (end < page.size() && page[end] == ',') ++end;
    const bool named = end >= at + 4;
    if (named && end < page.size() && page[end] == '%') return page.substr(at, end + 1 - at);
  }
  return "";
}

// `page` with each limit's placeholders replaced by its value.
void putLimits(std::string& page) {
  for (const Limit& limit : kLimits) {
    const std::string plain = "%" + std::string(limit.name) + "%";
    const std::string grouped = "%" + std::string(limit.name) + ",%";
    for (std::size_t at; (at = page.find(plain)) != std::string::npos;)
      page.replace(at, plain.size(), std::to_string(limit.value));
    for (std::size_t at; (at = page.find(grouped)) != std::string::npos;)
      page.replace(at, grouped.size(), withCommas(limit.value));
  }
}

// `text` with scdoc's markup characters taken literally.
std::string scdocText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '*' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string section() {
  std::string out = "[[ *Ricerca*\n:< *Trova i record*\n";
  for (const indicizza::QueryHelpRow& row : indicizza::queryHelpRows()) {
    out += "|  ";
    for (std::size_t i = 0; i < row.examples.size(); ++i) {
      if (i != 0) out += ", ";
      out += "*" + scdocText(row.examples[i]) + "*";
    }
    out += "\n:  " + scdocText(row.meaning) + "\n";
  }
  for (const std::string& note : indicizza::queryHelpNotes()) out += "\n" + scdocText(note) + "\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "uso: query-language-section MODELLO USCITA\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  std::string page = text.str();
  const std::size_t at = page.find(kPlaceholder);
  if (!in || at == std::string::npos) {
    std::cerr << argv[1] << ": manca la riga " << kPlaceholder << "\n";
    return 2;
  }
  std::string generated = section();
  generated.pop_back();  // the placeholder's own line end follows
  page.replace(at, kPlaceholder.size(), generated);
  putLimits(page);
  if (const std::string left = leftPlaceholder(page); !left.empty()) {
    std::cerr << argv[1] << ": nessun limite si chiama " << left << "\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << page;
  out.close();
  if (!out) {
    std::cerr << "Errore di scrittura su " << argv[2] << "\n";
    return 2;
  }
  return 0;
}
