// catalogo cifra FILE.tsv: writes opere.cry from the tab-separated form.
//
// Turns the tab-separated input (a header line, then one record per line;
// see tsv_rows.h) into opere.cry of the current folder, each record
// scrambled with the build's key, in line order. A UTF-8 byte order mark
// before the header is dropped. The header must name RecordNumber, and at
// least one line must follow it. Every bad line is reported on standard
// error with its line number and field (a line longer than kLongestTsvLine
// is not read, only named), and so is every record number carried by more
// than one line (with the lines; unless allowRepeatedNumbers): the first
// kMostReportedErrors of them, the others counted. When UTF-8 decoding
// failed, a line suggests --latin1. opere.cry is replaced only when the
// whole input is good (see catalogue/record_file_writer.h), otherwise left
// as it was. Progress dots on standard error; "N record scritti in
// opere.cry" at the end, after the number of typographic characters
// replaced, if any. Exit status 0; 2 (after the line messages) when
// anything was wrong. SIGINT, SIGTERM or SIGHUP before opere.cry is
// replaced stops it ("Esecuzione interrotta: opere.cry non modificato",
// exit status 2) and removes its working copy (see base/interruption.h).
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/interruption.h"
#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/line_errors.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/tool_failure.h"
#include "catalogue/files/record_file_writer.h"
#include "catalogue/forms/tsv_rows.h"
#include "catalogue/text/line_reader.h"
#include "catalogue/text/terminal_text.h"
#include "catalogue/text/utf8.h"
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
    "--translittera: lettere latine fuori da Latin-1 nella forma Latin-1 più vicina (ř -> r,\n"
    "ő -> ö, ł -> l, œ -> oe); ogni valore cambiato è elencato con riga e campo.\n"
    "Esempi:\n"
    "  catalogo cifra opere.tsv\n"
    "  catalogo esporta | catalogo cifra -";

struct EncodeCommand {
  std::string input;  // a file name, or "-" for standard input
  TextEncoding encoding = TextEncoding::kUtf8;
  // Replace typographic characters beyond Latin-1 (UTF-8 input only).
  bool replaceTypographic = false;
  // Write Latin letters beyond Latin-1 in their nearest Latin-1 form, and
  // list each value so changed (UTF-8 input only).
  bool transliterate = false;
  // Let several lines carry the same record number (the indexer keeps the
  // last one).
  bool allowRepeatedNumbers = false;
};

// The name that stands for standard input.
constexpr std::string_view kStandardInput = "-";
std::string notChanged() { return std::string(kRecordFileName) + " non modificato"; }

// What an interrupted cifra says, on its way out or from the signal handler
// (which needs it to live to the end of the process).
const std::string& interruptedText() {
  static const std::string text = std::string(kInterruptedMessage) + ": " + notChanged();
  return text;
}

// Ends the command when SIGINT, SIGTERM or SIGHUP has arrived: the working
// copy is removed on the way out (see RecordFileWriter).
void stopIfInterrupted() {
  if (answerInterruption()) throw ToolFailure(interruptedText());
}

std::string tooLong(const std::string& place) {
  return place + ": più di " + std::to_string(kLongestTsvLine) + " byte";
}

// The input to read: a file, or standard input.
struct Input {
  std::ifstream file;
  std::istream* stream = nullptr;
  std::string name;  // for messages, escaped for the terminal
};

void openInput(const std::string& path, Input& input) {
  if (path == kStandardInput) {
    input.stream = &std::cin;
    input.name = "lo standard input";
    return;
  }
  std::error_code ignored;
  input.name = terminalText(path);
  input.file.open(path, std::ios::binary);
  if (!input.file || std::filesystem::is_directory(path, ignored)) {
    throw ToolFailure("Errore lettura " + input.name);
  }
  input.stream = &input.file;
}

// The fields named by the header line, which must name RecordNumber.
std::vector<const LayoutField*> readHeader(Input& input, LineReader& lines, LineErrors& errors) {
  std::string line;
  const LineRead read = lines.next(line);
  if (read == LineRead::kEnd) {
    if (lines.failed()) throw ToolFailure("Errore durante la lettura di " + input.name);
    throw ToolFailure(input.name + ": manca la riga di intestazione");
  }
  std::optional<std::vector<const LayoutField*>> columns;
  if (read == LineRead::kTooLong) {
    errors.add(tooLong("intestazione"));
  } else {
    line.erase(0, line.size() - withoutByteOrderMark(line).size());
    columns = parseHeader(line, errors.pending());
    errors.report();
  }
  if (!columns) throw ToolFailure("Intestazione non valida: " + notChanged());
  if (std::none_of(columns->begin(), columns->end(),
                   [](const LayoutField* field) { return field->name == kRecordNumberName; })) {
    throw ToolFailure(
        "Intestazione senza la colonna RecordNumber: ogni record ha bisogno del suo numero; " +
        notChanged());
  }
  return *columns;
}

// What the data lines gave.
struct Rows {
  std::size_t records = 0;   // good lines
  std::size_t badLines = 0;  // lines with errors
  NumberedLines numbers;     // the record number of each good line
};

// Reads every data line, reporting the bad ones; while none is bad, writes
// each record to `out`.
Rows encodeRows(Input& input, LineReader& lines, const std::vector<const LayoutField*>& columns,
                RowDecoding& decoding, RecordFileWriter& out, LineErrors& errors) {
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  Rows rows;
  std::string line;
  for (std::size_t lineNumber = 2;; ++lineNumber) {
    stopIfInterrupted();
    const LineRead read = lines.next(line);
    if (read == LineRead::kEnd) break;
    std::optional<PlainRecord> record;
    if (read == LineRead::kTooLong) {
      errors.pending().push_back(tooLong("riga " + std::to_string(lineNumber)));
    } else {
      record = recordOfRow(line, lineNumber, columns, decoding, errors.pending());
    }
    if (!record) {
      ++rows.badLines;
      progress.finish();
      errors.report();
    } else {
      rows.numbers.emplace_back(recordNumberOf(DecodedRecord::fromPlain(record->bytes())),
                                lineNumber);
      if (rows.badLines == 0) failOn(out.append(*record, key));
      ++rows.records;
    }
    progress.tick();
  }
  progress.finish();
  if (lines.failed()) throw ToolFailure("Errore durante la lettura di " + input.name);
  return rows;
}

std::string repeatedCount(std::size_t repeated) {
  return std::to_string(repeated) +
         (repeated == 1 ? " numero di record ripetuto" : " numeri di record ripetuti");
}

int runEncode(const EncodeCommand& command) {
  // A signal is answered between lines; one the command does not answer
  // within the grace (a read that waits on a terminal or a pipe), or a
  // second one, ends it at once, the working copy removed first.
  catchInterruptions({STDERR_FILENO, interruptedText().c_str(), kExitFailure});
  Input input;
  openInput(command.input, input);
  LineReader lines(*input.stream, kLongestTsvLine);
  LineErrors errors;
  const std::vector<const LayoutField*> columns = readHeader(input, lines, errors);

  RecordFileWriter out;
  failOn(out.open(kRecordFileName));
  RowDecoding decoding;
  decoding.encoding = command.encoding;
  decoding.typographic =
      command.replaceTypographic ? Typographic::kReplaced : Typographic::kRefused;
  decoding.letters = command.transliterate ? Letters::kTransliterated : Letters::kRefused;
  decoding.onTransliterated = [](const std::string& change) { std::cerr << change << '\n'; };
  Rows rows = encodeRows(input, lines, columns, decoding, out, errors);
  // A signal that came while the last line was awaited: the input may be cut
  // short (Ctrl-C on `cat works.tsv | catalogo cifra -` ends both).
  stopIfInterrupted();

  if (rows.records == 0 && rows.badLines == 0) {
    throw ToolFailure(input.name + ": nessun record dopo l'intestazione; " + notChanged());
  }
  std::function<void(std::string)> reportRepeated;
  if (!command.allowRepeatedNumbers) {
    reportRepeated = [&errors](std::string message) { errors.add(std::move(message)); };
  }
  const std::size_t repeated = repeatedRecordNumbers(rows.numbers, reportRepeated);
  if (decoding.sawMalformedUtf8) {
    std::cerr << "Il file non è in UTF-8: se è in Latin-1, usare --latin1\n";
  }
  if (decoding.sawTransliterable) {
    std::cerr << "Lettere fuori da Latin-1: con --translittera sono scritte nella forma Latin-1 "
                 "più vicina (ř -> r, ő -> ö), e ogni valore cambiato è elencato\n";
  }
  if (rows.badLines != 0) {
    throw ToolFailure(std::to_string(rows.badLines) + (rows.badLines == 1 ? " riga" : " righe") +
                      " con errori (" + std::to_string(errors.count()) +
                      (errors.count() == 1 ? " errore): " : " errori): ") + notChanged());
  }
  if (repeated != 0 && !command.allowRepeatedNumbers) {
    throw ToolFailure(repeatedCount(repeated) +
                      " (--ammetti-doppi li accetta; l'indicizzatore tiene l'ultima riga di "
                      "ciascuno): " +
                      notChanged());
  }
  stopIfInterrupted();
  failOn(out.commit());
  if (repeated != 0) {
    std::cerr << repeatedCount(repeated) << ": l'indicizzatore terrà l'ultima riga di ciascuno\n";
  }
  if (decoding.replaced != 0) {
    std::cerr << decoding.replaced
              << (decoding.replaced == 1 ? " carattere tipografico sostituito"
                                         : " caratteri tipografici sostituiti")
              << " con uno Latin-1\n";
  }
  if (decoding.transliteratedValues != 0) {
    std::cerr << decoding.transliteratedValues
              << (decoding.transliteratedValues == 1 ? " valore traslitterato"
                                                     : " valori traslitterati")
              << " in Latin-1 (elencati sopra)\n";
  }
  std::cout << rows.records << (rows.records == 1 ? " record scritto in " : " record scritti in ")
            << kRecordFileName << '\n';
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
  encode->add_flag("--translittera", command->transliterate,
                   "Scrive le lettere latine fuori da Latin-1 nella forma Latin-1 più vicina");
  return {encode, [command, latin1] {
            command->encoding = *latin1 ? TextEncoding::kLatin1 : TextEncoding::kUtf8;
            return runEncode(*command);
          }};
}

}  // namespace indicizza::catalogo
