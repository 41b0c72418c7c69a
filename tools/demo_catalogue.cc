// demo-catalogue WORKS.tsv DIRECTORY
//
// Turns the sample list of works (UTF-8, tab-separated, with a header line
// composer/title/opus/instrument/style/date/source/license) into a record
// file DIRECTORY/opere.cry scrambled with this build's key, and creates the
// empty data database DIRECTORY/opere.ddb when it is missing. Records are
// numbered 1..N in file order. Mapping onto the layout:
//   text 1 composer, text 2 instrument, text 3 style, text 4 title,
//   text 5 date, texts 6-7 source; code 1 the opus with blanks and full stops
//   removed (BWV 1009 -> BWV1009), code 2 the first four-digit year of the
//   date; the kind code from the instrument; a few flag combinations that
//   lower-case the kind code. Text is converted to Latin-1.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/files/empty_data_database.h"
#include "catalogue/text/latin1.h"
#include "input/plain_record.h"
#include "records/data_database.h"

namespace indicizza::tools {
namespace {

enum Column { kComposer, kTitle, kOpus, kInstrument, kStyle, kDate, kSource, kColumnCount };

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// Takes from the front of `text` the longest part of at most `width` bytes
// that ends at a blank (or the whole text when it fits), so words are not
// split between fields; the blanks after the cut are dropped too.
std::string takeFitting(std::string& text, std::size_t width) {
  std::size_t cut = text.size();
  if (cut > width) {
    cut = text.rfind(' ', width);
    if (cut == std::string::npos || cut == 0) cut = width;
  }
  std::string head = text.substr(0, cut);
  const std::size_t rest = text.find_first_not_of(' ', cut);
  text.erase(0, rest == std::string::npos ? text.size() : rest);
  return head;
}

std::string fitting(std::string text, std::size_t width) { return takeFitting(text, width); }

std::string opusCode(const std::string& opus) {
  std::string code;
  for (char c : opus) {
    if (c == ' ' || c == '.') continue;
    code += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return code.substr(0, kCodeFields[0].length);
}

std::string firstYear(const std::string& date) {
  const std::size_t start = date.find_first_of("0123456789");
  if (start == std::string::npos) return "";
  const std::string digits =
      date.substr(start, date.find_first_not_of("0123456789", start) - start);
  return digits.size() == 4 ? digits : firstYear(date.substr(start + digits.size()));
}

std::string kindFor(const std::string& instrument) {
  struct Rule {
    const char* word;
    const char* kind;
  };
  static const Rule kRules[] = {{"Voice", "VO"},       {"Choir", "VO"},  {"Orchestra", "OR"},
                                {"Guitar", "CH"},      {"Organ", "OG"},  {"Piano", "PF"},
                                {"Harpsichord", "CM"}, {"Violin", "AR"}, {"Cello", "AR"},
                                {"String", "AR"}};
  for (const Rule& rule : kRules) {
    if (instrument.find(rule.word) != std::string::npos) return rule.kind;
  }
  return "AL";
}

}  // namespace
}  // namespace indicizza::tools

int main(int argc, char** argv) {
  using namespace indicizza;
  using namespace indicizza::tools;
  if (argc != 3) {
    std::cerr << "uso: demo-catalogue WORKS.tsv CARTELLA\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "impossibile leggere " << argv[1] << "\n";
    return 1;
  }
  std::string line;
  std::getline(in, line);  // header
  std::vector<PlainRecord> records;
  while (std::getline(in, line)) {
    std::vector<std::string> f = splitTabs(line);
    f.resize(kColumnCount);
    for (std::string& value : f) value = utf8ToLatin1Approximate(value);

    const auto number = static_cast<RecordNumber>(records.size() + 1);
    PlainRecord record;
    std::string source = f[kSource];
    record.textField(1, fitting(f[kComposer], kTextFields[0].length))
        .textField(2, fitting(f[kInstrument], kTextFields[1].length))
        .textField(3, fitting(f[kStyle], kTextFields[2].length))
        .textField(4, fitting(f[kTitle], kTextFields[3].length))
        .textField(5, fitting(f[kDate], kTextFields[4].length))
        .textField(6, takeFitting(source, kTextFields[5].length))
        .textField(7, takeFitting(source, kTextFields[6].length))
        .codeField(1, opusCode(f[kOpus]))
        .codeField(2, firstYear(f[kDate]))
        .kindCode(kindFor(f[kInstrument]))
        .recordNumber(number);
    if (number % 7 == 0) record.flags('1', '2');
    if (number % 11 == 0) record.flags('2', '1');
    records.push_back(record);
  }
  const std::string path = std::string(argv[2]) + "/opere.cry";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string content = recordFileContent(records, buildScrambleKey());
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out.flush()) {
    std::cerr << "impossibile scrivere " << path << "\n";
    return 1;
  }
  // Said as catalogo cifra and catalogo crea-db say it, in the folder's own
  // names: the demo shows the folder first.
  std::cout << records.size()
            << (records.size() == 1 ? " record scritto in " : " record scritti in ")
            << "opere.cry\n";

  const std::string databasePath = std::string(argv[2]) + "/" + kDataDatabaseFileName;
  if (!std::filesystem::exists(databasePath)) {
    const Status created = createEmptyDataDatabase(databasePath);
    if (!created.ok()) {
      std::cerr << "impossibile creare " << databasePath << ": " << created.text() << "\n";
      return 1;
    }
    std::cout << "Creato " << kDataDatabaseFileName << " vuoto\n";
  }
  return 0;
}
