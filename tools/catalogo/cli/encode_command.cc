// catalogo cifra FILE.tsv: writes opere.cry from the tab-separated form.
//
// Turns the tab-separated input (a header line, then one record per line;
// see tsv_rows.h) into opere.cry of the current folder, each record
// scrambled with the build's key, in line order. A UTF-8 byte order mark
// before the header is dropped. The header must name RecordNumber. Every
// bad line is reported on standard error with its line number and field,
// and so is every record number carried by more than one line (with the
// lines; unless allowRepeatedNumbers); when UTF-8 decoding failed, a line
// suggests --latin1. opere.cry is replaced only when the whole input is
// good (written under a temporary name, then renamed), otherwise left as it
// was. Progress dots on standard error; "N record scritti in opere.cry" at
// the end, after the number of typographic characters replaced, if any.
// Exit status 0; 2 (after the line messages) when anything was wrong.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/replacement_file.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/tsv_rows.h"
#include "input/record_file.h"
#include "input/scramble_key.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kEncodeHelpFooter =
    "La prima riga nomina le colonne (RecordNumber obbligatoria, poi KindCode FlagA FlagB\n"
    "T1-T7 C1-C5 in qualsiasi ordine). Un numero di record ripetuto è un errore, se non\n"
    "con --ammetti-doppi. opere.cry è sostituito solo se tutto il file è corretto.\n"
    "--sostituisci: trattini lunghi e il segno meno -> '-', virgolette curve -> ' e \",\n"
    "puntini di sospensione -> '...', spazi tipografici -> spazio (U+2007 e U+202F ->\n"
    "spazio non separabile).\n"
    "Esempi:\n"
    "  catalogo cifra opere.tsv\n"
    "  catalogo esporta | catalogo cifra -";

struct EncodeCommand {
  std::string input;  // a file name, or "-" for standard input
  TextEncoding encoding = TextEncoding::kUtf8;
  // Replace typographic characters beyond Latin-1 (UTF-8 input only).
  bool replaceTypographic = false;
  // Let several lines carry the same record number (the indexer keeps the
  // last one).
  bool allowRepeatedNumbers = false;
};

// Past this many, line errors are counted but no longer written.
constexpr std::size_t kMostReportedErrors = 100;
// The name that stands for standard input.
constexpr std::string_view kStandardInput = "-";
// What a UTF-8 file may start with; it is no part of the header.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kRecordNumberColumn = "RecordNumber";

// Reads one line without its line feed, and without a carriage return just
// before it; false at the end of the input.
bool readLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// Writes the new errors of `errors` from `reported` on; counts them all.
void reportErrors(const std::vector<std::string>& errors, std::size_t& reported) {
  for (; reported < errors.size(); ++reported) {
    if (reported < kMostReportedErrors) std::cerr << errors[reported] << "\n";
    if (reported == kMostReportedErrors) std::cerr << "...\n";
  }
}

std::string notChanged() { return std::string(kRecordFileName) + " non modificato"; }

// The record number of each good line, with the line.
using NumberLines = std::vector<std::pair<RecordNumber, std::size_t>>;

// One message per number carried by more than one line, naming its lines;
// returns how many numbers that is.
std::size_t repeatedNumbers(NumberLines& numberLines, std::vector<std::string>* messages) {
  std::stable_sort(numberLines.begin(), numberLines.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t repeated = 0;
  for (std::size_t i = 0; i < numberLines.size();) {
    std::size_t end = i + 1;
    while (end < numberLines.size() && numberLines[end].first == numberLines[i].first) ++end;
    if (end - i > 1) {
      ++repeated;
      std::string lines;
      for (std::size_t j = i; j < end; ++j)
        lines += (j == i ? "" : ", ") + std::to_string(numberLines[j].second);
      if (messages) {
        messages->push_back("numero di record " + std::to_string(numberLines[i].first) +
                            " ripetuto: righe " + lines);
      }
    }
    i = end;
  }
  return repeated;
}

int runEncode(const EncodeCommand& command) {
  std::ifstream file;
  const bool standardInput = command.input == kStandardInput;
  if (!standardInput) {
    std::error_code ignored;
    file.open(command.input, std::ios::binary);
    if (!file || std::filesystem::is_directory(command.input, ignored)) {
      throw ToolFailure("Errore lettura " + command.input);
    }
  }
  std::istream& in = standardInput ? std::cin : file;
  const std::string inputName = standardInput ? "lo standard input" : command.input;

  std::string line;
  if (!readLine(in, line)) throw ToolFailure(inputName + ": manca la riga di intestazione");
  if (line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
  std::vector<std::string> errors;
  std::size_t reported = 0;
  const auto columns = parseHeader(line, errors);
  if (!columns) {
    reportErrors(errors, reported);
    throw ToolFailure("Intestazione non valida: " + notChanged());
  }
  const auto numberColumn =
      std::find_if(columns->begin(), columns->end(),
                   [](const LayoutField* field) { return field->name == kRecordNumberColumn; });
  if (numberColumn == columns->end()) {
    throw ToolFailure(
        "Intestazione senza la colonna RecordNumber: ogni record ha bisogno del suo numero; " +
        notChanged());
  }

  ReplacementFile out(kRecordFileName);
  const ScrambleKey key = buildScrambleKey();
  RowDecoding decoding;
  decoding.encoding = command.encoding;
  decoding.typographic =
      command.replaceTypographic ? Typographic::kReplaced : Typographic::kRefused;
  ErrorStreamProgress progress;
  NumberLines numberLines;
  std::size_t lineNumber = 1;
  std::size_t records = 0;
  std::size_t badLines = 0;
  while (readLine(in, line)) {
    ++lineNumber;
    const auto record = recordOfRow(line, lineNumber, *columns, decoding, errors);
    if (!record) {
      ++badLines;
      progress.finish();
      reportErrors(errors, reported);
    } else {
      numberLines.emplace_back(recordNumberOf(DecodedRecord::fromPlain(record->bytes())),
                               lineNumber);
      if (badLines == 0) {
        const auto scrambled = record->scrambled(key);
        out.write({reinterpret_cast<const char*>(scrambled.data()), scrambled.size()});
      }
      ++records;
    }
    progress.tick();
  }
  progress.finish();
  if (in.bad()) throw ToolFailure("Errore durante la lettura di " + inputName);

  const std::size_t repeated =
      repeatedNumbers(numberLines, command.allowRepeatedNumbers ? nullptr : &errors);
  reportErrors(errors, reported);
  if (decoding.sawMalformedUtf8) {
    std::cerr << "Il file non è in UTF-8: se è in Latin-1, usare --latin1\n";
  }
  if (badLines != 0) {
    throw ToolFailure(std::to_string(badLines) + (badLines == 1 ? " riga" : " righe") +
                      " con errori (" + std::to_string(errors.size()) +
                      (errors.size() == 1 ? " errore): " : " errori): ") + notChanged());
  }
  if (repeated != 0 && !command.allowRepeatedNumbers) {
    throw ToolFailure(
        std::to_string(repeated) +
        (repeated == 1 ? " numero di record ripetuto" : " numeri di record ripetuti") +
        " (--ammetti-doppi li accetta; l'indicizzatore tiene l'ultima riga di ciascuno): " +
        notChanged());
  }
  out.commit();
  if (repeated != 0) {
    std::cerr << repeated
              << (repeated == 1 ? " numero di record ripetuto" : " numeri di record ripetuti")
              << ": l'indicizzatore terrà l'ultima riga di ciascuno\n";
  }
  if (decoding.replaced != 0) {
    std::cerr << decoding.replaced
              << (decoding.replaced == 1 ? " carattere tipografico sostituito"
                                         : " caratteri tipografici sostituiti")
              << " con uno Latin-1\n";
  }
  std::cout << records << " record scritti in " << kRecordFileName << '\n';
  return kExitFound;
}

}  // namespace

Command addEncodeCommand(CLI::App& app) {
  auto command = std::make_shared<EncodeCommand>();
  auto latin1 = std::make_shared<bool>(false);
  CLI::App* encode =
      addSubcommand(app, "cifra", "Scrive opere.cry da un file di campi separati da tabulazioni",
                    kEncodeHelpFooter);
  encode
      ->add_option("FILE", command->input,
                   "File .tsv (- per lo standard input): intestazione con i nomi dei campi, poi un "
                   "record per riga")
      ->required();
  encode->add_flag("--latin1", *latin1, "Il file è in Latin-1 (altrimenti UTF-8)");
  encode->add_flag("--ammetti-doppi", command->allowRepeatedNumbers,
                   "Accetta righe con lo stesso numero di record (vale l'ultima)");
  encode->add_flag(
      "--sostituisci", command->replaceTypographic,
      "Sostituisce trattini, virgolette, puntini e spazi tipografici con caratteri Latin-1");
  return {encode, [command, latin1] {
            command->encoding = *latin1 ? TextEncoding::kLatin1 : TextEncoding::kUtf8;
            return runEncode(*command);
          }};
}

}  // namespace indicizza::catalogo
