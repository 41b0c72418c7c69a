// query-language-section TEMPLATE OUTPUT
//
// Writes the catalogo(1) man page source OUTPUT: TEMPLATE (scdoc) with its
// line "%QUERY LANGUAGE%" replaced by the query language as the program
// itself teaches it (search/query_help.h), laid out in scdoc: the forms of
// query as a table, then the notes. Run at build time, so the man page
// never says the language in words of its own.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "search/query/query_help.h"

namespace {

constexpr std::string_view kPlaceholder = "%QUERY LANGUAGE%";

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
  std::ofstream out(argv[2], std::ios::binary);
  out << page;
  out.close();
  if (!out) {
    std::cerr << "Errore di scrittura su " << argv[2] << "\n";
    return 2;
  }
  return 0;
}
