#include "catalogo/cli/command_line.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <vector>

#include "catalogo/cli/tool_failure.h"
#include "catalogue/text/terminal_text.h"

namespace indicizza::catalogo {

void checkStandardOutput() {
  std::cout.flush();
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
}

namespace {

// Whether `argument` is written as an option (and not as a negative
// number, which CLI11 takes as a value).
bool looksLikeOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9');
}

const std::vector<std::string> kFormatNames = {"testo", "tsv", "csv", "json"};

constexpr const char* kHelpFlag = "-h,--help";
// CLI11's text for a value outside an option's range (CLI::Range): "NAME:
// Value V not in range A to B".
constexpr std::string_view kRangeNameEnd = ": Value ";
constexpr std::string_view kRangeValueEnd = " not in range ";
constexpr std::string_view kRangeLimitSeparator = " to ";
// An upper limit longer than this is a type's largest value, shown as no
// limit at all ("da 1 in su").
constexpr std::size_t kLongestShownLimit = 10;
constexpr const char* kHelpFlagText = "Mostra questo aiuto ed esce";

}  // namespace

void italianHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPZIONI");
  formatter->label("SUBCOMMAND", "COMANDO");
  formatter->label("SUBCOMMANDS", "COMANDI");
  formatter->label("Positionals", "Argomenti");
  formatter->label("REQUIRED", "OBBLIGATORIO");
  formatter->label("TEXT", "TESTO");
  formatter->column_width(24);
  app.option_defaults()->group("Opzioni");
  app.set_help_flag(kHelpFlag, kHelpFlagText);
}

std::string unknownCommand(std::string_view name) {
  return "Comando sconosciuto: " + terminalText(name) + ". Aiuto: catalogo help\n";
}

std::optional<std::string> refusedValue(const CLI::Error& error) {
  if (!dynamic_cast<const CLI::ValidationError*>(&error)) return std::nullopt;
  const std::string_view text = error.what();
  const std::size_t nameEnd = text.find(kRangeNameEnd);
  const std::size_t valueEnd = text.rfind(kRangeValueEnd);
  if (nameEnd == std::string_view::npos || valueEnd == std::string_view::npos ||
      valueEnd < nameEnd + kRangeNameEnd.size()) {
    return std::nullopt;
  }
  const std::string_view name = text.substr(0, nameEnd);
  const std::string_view value =
      text.substr(nameEnd + kRangeNameEnd.size(), valueEnd - nameEnd - kRangeNameEnd.size());
  const std::string_view limits = text.substr(valueEnd + kRangeValueEnd.size());
  const std::size_t separator = limits.find(kRangeLimitSeparator);
  if (separator == std::string_view::npos) return std::nullopt;
  const std::string_view lowest = limits.substr(0, separator);
  const std::string_view highest = limits.substr(separator + kRangeLimitSeparator.size());
  const std::string range = highest.size() > kLongestShownLimit
                                ? "da " + std::string(lowest) + " in su"
                                : "da " + std::string(lowest) + " a " + std::string(highest);
  return "Valore non valido per " + std::string(name) + ": '" + terminalText(value) +
         "' (un numero intero " + range + ")";
}

CLI::Range wholeNumberFromOne() {
  // Checked as a signed number: CLI11 would read "-3" as a huge unsigned one.
  return CLI::Range(std::int64_t{1}, std::numeric_limits<std::int64_t>::max(), "POSITIVE");
}

std::string usageFailure(const CLI::App* app, const CLI::Error& error) {
  const std::string help = ". Aiuto: " + app->get_name() + " help\n";
  if (const auto refused = refusedValue(error)) return *refused + help;
  const std::vector<std::string> left = app->remaining(true);
  for (const std::string& argument : left) {
    if (argument == "--") break;
    if (looksLikeOption(argument)) {
      const std::string shown = terminalText(argument);
      std::string text = "Opzione sconosciuta: " + shown;
      if (argument[1] != '-') {
        text += " (per escludere una parola: -- " + shown + ", oppure NOT " + shown.substr(1) + ")";
      }
      return text + help;
    }
  }
  if (app->get_subcommands().empty()) {
    if (!left.empty()) return unknownCommand(left.front());
    return std::string("Comando mancante") + help;
  }
  std::string text;
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    text = "Argomento mancante";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    text = "Argomenti in più";
  } else {
    text = "Argomenti non validi";
  }
  return text + " (" + terminalText(error.what()) + ")" + help;
}

CLI::App* addSubcommand(CLI::App& app, std::string_view name, std::string_view description,
                        std::string_view footer) {
  CLI::App* command = app.add_subcommand(std::string(name), std::string(description));
  command->footer(std::string(footer));
  return command;
}

void finishSubcommand(CLI::App& command) {
  command.group("Comandi");
  command.set_help_flag(kHelpFlag, kHelpFlagText);
}

void addFormatOption(CLI::App& command, std::string& format, bool& csvAsIs) {
  command.add_option("--formato", format, "Formato: testo (predefinito), tsv, csv o json")
      ->check(CLI::IsMember(kFormatNames));
  command.add_flag("--csv-grezzo", csvAsIs,
                   "In csv, i valori come sono: senza l'apice che protegge nei fogli di calcolo "
                   "quelli che cominciano con = + - @, una tabulazione o un ritorno a capo");
}

CsvValues csvValuesOf(bool csvAsIs) {
  return csvAsIs ? CsvValues::kAsTheyAre : CsvValues::kGuarded;
}

namespace {

// The characters of UTF-8 text: every byte but the continuation bytes.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

std::string wrapped(std::string_view text, std::size_t width, std::string_view indent) {
  std::string out;
  const std::size_t start = characterCount(indent);
  std::size_t lineLength = start;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    const std::size_t length = characterCount(word);
    if (lineLength != start && lineLength + 1 + length > width) {
      out += '\n';
      out += indent;
      lineLength = start;
    } else if (lineLength != start) {
      out += ' ';
      ++lineLength;
    }
    out += word;
    lineLength += length;
    at = end + 1;
  }
  return out + '\n';
}

void addLatin1OutputOption(CLI::App& command, bool& latin1) {
  command.add_flag("--latin1", latin1, "Scrive in Latin-1 (altrimenti UTF-8)");
}

TextEncoding encodingOf(bool latin1) {
  return latin1 ? TextEncoding::kLatin1 : TextEncoding::kUtf8;
}

OutputFormat formatOf(const std::string& name) {
  return outputFormatNamed(name).value_or(OutputFormat::kText);
}

}  // namespace indicizza::catalogo
